// msde-sim through jTDS, the JDBC driver desktop database tools use for these servers, at
// TDS 7.0 and at jTDS's "8.0" (TDS 7.1). Any wrong value, unexpected error or protocol
// error fails the run; a case that needs a server facility not served yet says SKIP and why.
// Run through with-sim.sh: java -cp jtds.jar jtds_cases.java
import java.math.BigDecimal;
import java.sql.*;
import java.util.*;

public class JtdsCases {
  static final String PORT = System.getenv("MSDE_PORT");
  static final boolean EXPRESS = "2005".equals(System.getenv("MSDE_PERSONALITY"));
  static final List<String> failures = new ArrayList<>();

  interface Case { void run() throws Exception; }

  static class Skip extends Exception {
    Skip(String why) { super(why); }
  }

  static void check(String name, Case c) {
    try {
      c.run();
      System.out.println("ok   " + name);
    } catch (Skip s) {
      System.out.println("SKIP " + name + " - " + s.getMessage());
    } catch (Throwable e) {  // a case fails on anything unexpected
      failures.add(name);
      System.out.println("FAIL " + name + " - " + e);
    }
  }

  static void expect(Object got, Object want) {
    if (!Objects.equals(got, want)) throw new AssertionError("got " + got + ", want " + want);
  }

  static Connection connect(String tds, String database) throws SQLException {
    return connect(tds, "/" + database, "sa", "");
  }

  // path: "/database", or "" for the login's default database; options follow the TDS version.
  static Connection connect(String tds, String path, String user, String password) throws SQLException {
    return DriverManager.getConnection("jdbc:jtds:sqlserver://127.0.0.1:" + PORT + path + ";tds=" + tds
        + ";loginTimeout=10;socketTimeout=60", user, password);
  }

  // Every row of a query's first result set, each value as getObject gives it.
  static List<List<Object>> rows(Connection c, String sql) throws SQLException {
    try (Statement s = c.createStatement()) {
      s.execute(sql);
      while (s.getResultSet() == null && (s.getMoreResults() || s.getUpdateCount() != -1)) {}
      return rowsOf(s.getResultSet());
    }
  }

  static List<List<Object>> rowsOf(ResultSet r) throws SQLException {
    List<List<Object>> all = new ArrayList<>();
    if (r == null) throw new AssertionError("no result set");
    while (r.next()) {
      List<Object> row = new ArrayList<>();
      for (int i = 1; i <= r.getMetaData().getColumnCount(); ++i) row.add(r.getObject(i));
      all.add(row);
    }
    return all;
  }

  static List<String> columnNames(ResultSet r) throws SQLException {
    List<String> names = new ArrayList<>();
    for (int i = 1; i <= r.getMetaData().getColumnCount(); ++i) names.add(r.getMetaData().getColumnName(i));
    return names;
  }

  // The error numbers of an exception and the ones chained to it, in the order they came.
  static List<Integer> numbers(SQLException e) {
    List<Integer> all = new ArrayList<>();
    for (SQLException x = e; x != null; x = x.getNextException()) all.add(x.getErrorCode());
    return all;
  }

  // The texts of the warnings (PRINT, informational RAISERROR) a batch sent, read through its end.
  static List<String> warnings(Connection c, String sql) throws SQLException {
    List<String> texts = new ArrayList<>();
    try (Statement s = c.createStatement()) {
      s.execute(sql);
      while (s.getMoreResults() || s.getUpdateCount() != -1) {}
      for (SQLWarning w = s.getWarnings(); w != null; w = w.getNextWarning())
        texts.add(w.getErrorCode() + ":" + w.getMessage());
    }
    return texts;
  }

  static String hex(byte[] bytes) {
    StringBuilder b = new StringBuilder("0x");
    for (byte x : bytes) b.append(String.format("%02x", x));
    return b.toString();
  }

  static Object scalar(Connection c, String sql) throws SQLException {
    try (Statement s = c.createStatement(); ResultSet r = s.executeQuery(sql)) {
      if (!r.next()) throw new AssertionError("no row: " + sql);
      return r.getObject(1);
    }
  }

  // The SQLException a statement ends with; fails when it runs through.
  static SQLException failure(Connection c, String sql) throws Exception {
    try (Statement s = c.createStatement()) {
      s.execute(sql);
      while (s.getMoreResults() || s.getUpdateCount() != -1) {}
    } catch (SQLException e) {
      return e;
    }
    throw new AssertionError("no error: " + sql);
  }

  public static void main(String[] args) throws Exception {
    Class.forName("net.sourceforge.jtds.jdbc.Driver");
    for (String tds : new String[] {"7.0", "8.0"}) cases(tds);
    System.out.println(failures.isEmpty() ? "all passed" : failures.size() + " failed");
    System.exit(failures.isEmpty() ? 0 : 1);
  }

  static void cases(String tds) throws Exception {
    final String at = " (tds=" + tds + ")";
    final Connection[] held = new Connection[1];
    check("logs in and reads Polish text" + at, () -> {
      held[0] = connect(tds, "Sklep");
      expect(scalar(held[0], "select N'Zażółć gęślą jaźń'"), "Zażółć gęślą jaźń");
      expect(scalar(held[0], "select DB_NAME()"), "Sklep");
    });
    final Connection db = held[0];
    if (db == null) return;

    check("several result sets and update counts" + at, () -> {
      try (Statement s = db.createStatement()) {
        expect(s.execute("select 1 as a select 'x' as b"), true);
        try (ResultSet r = s.getResultSet()) {
          r.next();
          expect(r.getInt(1), 1);
        }
        expect(s.getMoreResults(), true);
        try (ResultSet r = s.getResultSet()) {
          r.next();
          expect(r.getString("b"), "x");
        }
      }
    });

    check("PreparedStatement parameters keep their types" + at, () -> {
      try (PreparedStatement p = db.prepareStatement("select ?, ?, ?, ?, ?")) {
        p.setInt(1, 42);
        p.setString(2, "Łódź");
        p.setBigDecimal(3, new BigDecimal("-12345.67"));
        p.setNull(4, Types.INTEGER);
        p.setBoolean(5, true);
        try (ResultSet r = p.executeQuery()) {
          r.next();
          expect(r.getInt(1), 42);
          expect(r.getString(2), "Łódź");
          expect(r.getBigDecimal(3), new BigDecimal("-12345.67"));
          r.getInt(4);
          expect(r.wasNull(), true);
          expect(r.getBoolean(5), true);
        }
      }
      try (PreparedStatement p = db.prepareStatement("select count(*) from Kasjerzy where IdKasjera <= ?")) {
        p.setInt(1, 3);
        try (ResultSet r = p.executeQuery()) {
          r.next();
          expect(r.getInt(1), 3);
        }
      }
    });

    check("CallableStatement output parameter of sp_executesql" + at, () -> {
      try (CallableStatement c = db.prepareCall("{call sp_executesql(?, ?, ?, ?)}")) {
        c.setString(1, "set @o = @i * 2");
        c.setString(2, "@i int, @o int OUTPUT");
        c.setInt(3, 21);
        c.registerOutParameter(4, Types.INTEGER);
        c.execute();
        expect(c.getInt(4), 42);
      }
    });

    check("CallableStatement of a procedure made by CREATE PROCEDURE" + at, () -> {
      try (Statement s = db.createStatement()) {
        s.execute("create procedure Podwoj @i int, @o int output as set @o = @i * 2 return @i + 1");
      }
      try (CallableStatement c = db.prepareCall("{? = call Podwoj(?, ?)}")) {
        c.registerOutParameter(1, Types.INTEGER);
        c.setInt(2, 21);
        c.registerOutParameter(3, Types.INTEGER);
        c.execute();
        expect(c.getInt(3), 42);
        expect(c.getInt(1), 22);
      } finally {
        try (Statement s = db.createStatement()) {
          s.execute("drop procedure Podwoj");
        }
      }
    });

    check("transactions: rollback and commit" + at, () -> {
      try (Connection tx = connect(tds, "Sklep")) {
        tx.setAutoCommit(false);
        try (Statement s = tx.createStatement()) {
          expect(s.executeUpdate("insert into Kasjerzy (IdKasjera, Imie) values (70, N'Żaneta')"), 1);
          tx.rollback();
          expect(scalar(tx, "select count(*) from Kasjerzy where IdKasjera = 70"), 0);
          expect(s.executeUpdate("update Kasjerzy set Imie = N'Jan' where IdKasjera = 5"), 1);
          tx.commit();
        }
      }
      expect(scalar(db, "select Imie from Kasjerzy where IdKasjera = 5"), "Jan");
    });

    check("errors carry their numbers and quote the names" + at, () -> {
      SQLException e = failure(db, "select * from dbo.brak_takiej_tabeli");
      expect(e.getErrorCode(), 208);
      expect(e.getMessage(), "Invalid object name 'dbo.brak_takiej_tabeli'.");
      e = failure(db, "select NieMaTakiej from Kasjerzy");
      expect(e.getErrorCode(), 207);
      expect(e.getMessage(), "Invalid column name 'NieMaTakiej'.");
      e = failure(db, "exec brak_procedury");
      expect(e.getErrorCode(), 2812);
      expect(e.getMessage(), "Could not find stored procedure 'brak_procedury'.");
      e = failure(db, "use brak_bazy");
      expect(e.getErrorCode(), 911);
      expect(scalar(db, "select 1"), 1);  // the connection goes on
    });

    check("metadata: getTables and getColumns" + at, () -> {
      DatabaseMetaData m = db.getMetaData();
      Set<String> tables = new TreeSet<>();
      try (ResultSet r = m.getTables("Sklep", "dbo", "%", new String[] {"TABLE"})) {
        while (r.next()) tables.add(r.getString("TABLE_NAME"));
      }
      expect(tables.contains("Kasjerzy"), true);
      List<String> columns = new ArrayList<>();
      try (ResultSet r = m.getColumns("Sklep", "dbo", "Kasjerzy", "%")) {
        while (r.next()) columns.add(r.getString("COLUMN_NAME") + ":" + r.getString("TYPE_NAME"));
      }
      expect(columns.get(0), "IdKasjera:smallint");
      expect(columns.get(1), "Imie:nvarchar");
    });

    check("a changed row waits for its transaction; LOCK_TIMEOUT gives 1222" + at, () -> {
      try (Connection holder = connect(tds, "Sklep")) {
        holder.setAutoCommit(false);
        try (Statement s = holder.createStatement()) {
          s.executeUpdate("update Kasjerzy set Imie = N'Zofia' where IdKasjera = 1");
        }
        final Object spid = scalar(holder, "select @@spid");
        SQLException e = failure(db, "set lock_timeout 0 update Kasjerzy set Imie = N'Ewa' where IdKasjera = 1");
        expect(e.getErrorCode(), 1222);
        expect(e.getMessage(), "Lock request time out period exceeded.");
        expect(((Number) scalar(db, "select open_tran from master..sysprocesses where spid = " + spid)).intValue(), 1);
        holder.rollback();
      }
      expect(scalar(db, "set lock_timeout -1 select @@lock_timeout"), -1);
    });

    check("DBCC INPUTBUFFER names a prepared statement's RPC" + at, () -> {
      try (Connection other = connect(tds, "Sklep");
           PreparedStatement p = other.prepareStatement("select count(*) from Kasjerzy where IdKasjera > ?")) {
        p.setInt(1, 0);
        p.executeQuery().close();
        final Object spid = scalar(other, "select @@spid");
        p.executeQuery().close();  // the last thing the session sent: an RPC
        try (Statement s = db.createStatement(); ResultSet r = s.executeQuery("dbcc inputbuffer(" + spid + ")")) {
          r.next();
          expect(r.getString(1), "RPC Event");
          expect(r.getString(3).startsWith("sp_"), true);
        }
      }
    });

    check("sp_who's columns" + at, () -> {
      try (Statement s = db.createStatement(); ResultSet r = s.executeQuery("exec sp_who")) {
        ResultSetMetaData meta = r.getMetaData();
        expect(meta.getColumnName(meta.getColumnCount()), EXPRESS ? "request_id" : "cmd");
      }
    });

    check("joins, grouping, unions, subqueries and the catalogs" + at, () -> {
      List<List<Object>> best = rows(db, "select t.Nazwa, sum(p.Ilosc) from Towary t join Pozycje p on p.IdTowaru = t.IdTowaru "
          + "group by t.Nazwa order by 2 desc");
      expect(best.size(), 40);
      expect(best.get(0), List.of("Mleko 3,2% 1 l", new BigDecimal("30.000")));
      expect(scalar(db, "select count(*) from Paragony p full join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta"), 65);
      expect(scalar(db, "select count(*) from Paragony p left join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta "
          + "where k.IdKontrahenta is null"), 48);
      expect(scalar(db, "select count(*) from Kontrahenci k cross join Kasjerzy"),
          scalar(db, "select (select count(*) from Kontrahenci) * (select count(*) from Kasjerzy)"));
      expect(scalar(db, "select count(*) from Kontrahenci k where not exists "
          + "(select * from Paragony p where p.IdKontrahenta = k.IdKontrahenta)"), 5);
      expect(rows(db, "select IdKasjera from Paragony group by IdKasjera having count(*) > 12 union select 99 order by 1"),
          List.of(List.of(1), List.of(2), List.of(99)));
      expect(rows(db, "select top 10 percent * from Towary").size(), 4);
      expect(scalar(db, "select d.Ile from (select count(*) as Ile from Towary where StawkaVat = 22) as d"), 13);
      expect(rows(db, "select case when N'Łódź' like N'[K-M]%' then 1 else 0 end, isnull(null, 'x'), coalesce(null, 3), "
          + "nullif(1, 1), convert(varchar(30), cast('2006-09-04 10:12:33.500' as datetime), 113)"),
          List.of(Arrays.asList(1, "x", 3, null, "04 Sep 2006 10:12:33:500")));
      List<Object> columns = new ArrayList<>();
      for (List<Object> r : rows(db, "select c.name from sysobjects o join syscolumns c on c.id = o.id "
          + "where o.type = 'U' and o.name = 'Kasjerzy' order by c.colid")) columns.add(r.get(0));
      expect(columns, List.of("IdKasjera", "Imie", "Nazwisko", "Login", "Aktywny"));
      expect(failure(db, "select Nazwa, count(*) from Towary group by StawkaVat").getErrorCode(), 8120);
      expect(failure(db, "select (select IdKasjera from Kasjerzy)").getErrorCode(), 512);
    });

    check("variables, IF, WHILE, @@ROWCOUNT, PRINT and RAISERROR with arguments" + at, () -> {
      expect(scalar(db, "set nocount on declare @n int, @m money select @n = count(*), @m = max(Cena) "
          + "from Towary where StawkaVat = 22 if @n > 10 select @m else select 0 set nocount off"), new BigDecimal("17.9900"));
      expect(scalar(db, "declare @i int, @s int set @i = 0 set @s = 0 "
          + "while @i < 10 begin set @i = @i + 1 if @i = 2 continue if @i > 5 break set @s = @s + @i end select @s"), 13);
      expect(rows(db, "select 1 union all select 2 select @@ROWCOUNT").size(), 2);
      expect(warnings(db, "declare @n int set @n = 5 print 'n = ' + cast(@n as varchar(10)) "
          + "raiserror('%5d|%-4s|%x', 10, 1, 42, 'ab', 255) with nowait"), List.of("0:n = 5", "50000:   42|ab  |ff"));
      SQLException e = failure(db, "raiserror('h arg %d %s', 16, 1, 5, 'x')");
      expect(List.of(e.getErrorCode(), e.getMessage()), List.of(50000, "h arg 5 x"));
    });

    check("smalldatetime rounds to the minute; SQL_VARIANT_PROPERTY" + at, () -> {
      try (Statement s = db.createStatement(); ResultSet r = s.executeQuery(
          "select cast('2026-12-10 10:15:29' as smalldatetime), cast('2026-12-10 10:15:30' as smalldatetime)")) {
        r.next();
        expect(r.getTimestamp(1).toString(), "2026-12-10 10:15:00.0");
        expect(r.getTimestamp(2).toString(), "2026-12-10 10:16:00.0");
        expect(r.getMetaData().getColumnTypeName(1), "smalldatetime");
      }
      // numeric of precision 1 to 9 is stored in 5 bytes. A TDS 7.0 client, which knows no
      // sql_variant, reads the values as nvarchar.
      final boolean text = tds.equals("7.0");
      expect(rows(db, "select SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'BaseType'), "
          + "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'Precision'), "
          + "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'Scale'), "
          + "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'MaxLength')"),
          List.of(text ? List.of("numeric", "8", "3", "5") : List.of("numeric", 8, 3, 5)));
    });

    check("update counts of INSERT, UPDATE and DELETE, and none under NOCOUNT" + at, () -> {
      try (Connection counting = connect(tds, "/Sklep;lastUpdateCount=false", "sa", ""); Statement s = counting.createStatement()) {
        List<Integer> counts = new ArrayList<>();
        boolean rs = s.execute("begin tran insert into Kasjerzy (IdKasjera, Imie) values (71, N'Ola') "
            + "update Kasjerzy set Imie = Imie where IdKasjera in (1, 2) delete from Kasjerzy where IdKasjera = 71 rollback");
        for (;; rs = s.getMoreResults()) {
          if (rs) continue;
          if (s.getUpdateCount() == -1) break;
          counts.add(s.getUpdateCount());
        }
        expect(counts, List.of(1, 2, 1));
        expect(s.execute("set nocount on update Kasjerzy set Imie = Imie where IdKasjera in (1, 2) set nocount off"), false);
        expect(s.getUpdateCount(), -1);
      }
    });

    check("a Polish-named login logs in to its default database; a wrong password is refused" + at, () -> {
      try (Connection till = connect(tds, "", "kasa Wschód", "żółć1")) {
        expect(rows(till, "select SUSER_SNAME(), DB_NAME()"), List.of(List.of("kasa Wschód", "Sklep Wschód")));
      }
      try {
        connect(tds, "", "kasa Wschód", "zolc1").close();
        throw new AssertionError("logged in with a wrong password");
      } catch (SQLException e) {
        expect(List.of(e.getErrorCode(), e.getMessage()), List.of(18456, "Login failed for user 'kasa Wschód'."));
      }
      expect(rows(db, "exec master..xp_readerrorlog 0, 1, 'Login failed', 'kasa Wschód'").isEmpty(), false);
    });

    check("a refused ALTER DATABASE sends its cause first and 5069 after it" + at, () -> {
      SQLException e = failure(db, "alter database master set offline");
      expect(numbers(e), List.of(5058, 5069));
      expect(e.getMessage(), "Option 'OFFLINE' cannot be set in database 'master'.");
    });

    check("a reader blocked by an open transaction: sysprocesses, sp_lock, ended by KILL" + at, () -> {
      final Connection holder = connect(tds, "Sklep");
      try (Connection waiter = connect(tds, "Sklep")) {
        holder.setAutoCommit(false);
        try (Statement s = holder.createStatement()) {
          s.executeUpdate("update Kasjerzy set Imie = N'Zofia' where IdKasjera = 1");
        }
        final int holderSpid = ((Number) scalar(holder, "select @@spid")).intValue();
        final int waiterSpid = ((Number) scalar(waiter, "select @@spid")).intValue();
        final List<Object> read = Collections.synchronizedList(new ArrayList<>());
        Thread reader = new Thread(() -> {
          try {
            read.add(scalar(waiter, "select Imie from Kasjerzy where IdKasjera = 1"));
          } catch (Exception e) {
            read.add(e);
          }
        });
        reader.start();
        int blocked = 0;
        for (long deadline = System.nanoTime() + 20_000_000_000L; blocked == 0 && System.nanoTime() < deadline;)
          blocked = ((Number) scalar(db, "select blocked from master..sysprocesses where spid = " + waiterSpid)).intValue();
        expect(blocked, holderSpid);
        expect(((String) scalar(db, "select lastwaittype from master..sysprocesses where spid = " + waiterSpid)).trim(), "LCK_M_S");
        List<String> locks = new ArrayList<>();
        for (List<Object> l : rows(db, "exec sp_lock")) {
          if (((Number) l.get(0)).intValue() == waiterSpid && "WAIT".equals(l.get(7)))
            locks.add(l.get(4).toString().trim() + " " + l.get(6));
        }
        expect(locks, List.of("KEY S"));
        try (Statement s = db.createStatement()) {
          s.execute("kill " + holderSpid);
        }
        reader.join(20_000);
        expect(read.size(), 1);
        expect(read.get(0) instanceof String, true);  // the read went on, not an error
        expect(scalar(db, "select Imie from Kasjerzy where IdKasjera = 1"), read.get(0));
        expect(((Number) scalar(db, "select blocked from master..sysprocesses where spid = " + waiterSpid)).intValue(), 0);
      } finally {
        try {
          holder.close();
        } catch (SQLException ignored) {
          // the server has already ended the killed session
        }
      }
    });

    // Backups on the run's share \\TEST\kopie, the server's disk, and logins moved with their
    // hashes and sids, as Books Online documents them.
    check("RESTORE HEADERONLY, FILELISTONLY and VERIFYONLY of a backup on a share" + at, () -> {
      final String bak = "\\\\TEST\\kopie\\sklep_jtds" + tds + ".bak";
      try (Statement s = db.createStatement()) {
        s.execute("BACKUP DATABASE Sklep TO DISK = N'" + bak + "' WITH INIT");
        while (s.getMoreResults() || s.getUpdateCount() != -1) {}
        try (ResultSet r = s.executeQuery("RESTORE HEADERONLY FROM DISK = N'" + bak + "'")) {
          List<String> names = columnNames(r);
          expect(names.size(), EXPRESS ? 51 : 33);
          expect(List.of(names.get(2), names.get(9), names.get(10)), List.of("BackupType", "DatabaseName", "DatabaseVersion"));
          r.next();
          expect(List.of(r.getInt(3), r.getString(10), r.getInt(11)), List.of(1, "Sklep", EXPRESS ? 611 : 539));
        }
        try (ResultSet r = s.executeQuery("RESTORE FILELISTONLY FROM DISK = N'" + bak + "'")) {
          expect(columnNames(r).size(), EXPRESS ? 20 : 6);
          List<String> types = new ArrayList<>();
          while (r.next()) types.add(r.getString(3));
          expect(types, List.of("D", "L"));
        }
      }
      expect(warnings(db, "RESTORE VERIFYONLY FROM DISK = N'" + bak + "'"),
          List.of(EXPRESS ? "3262:The backup set on file 1 is valid." : "3262:The backup set is valid."));
      expect(numbers(failure(db, "RESTORE VERIFYONLY FROM DISK = N'\\\\TEST\\kopie\\brak.bak'")), List.of(3201, 3013));
    });

    check("xp_fixeddrives lists the data drive with its free megabytes" + at, () -> {
      try (Statement s = db.createStatement(); ResultSet r = s.executeQuery("exec master..xp_fixeddrives")) {
        expect(columnNames(r), List.of("drive", "MB free"));
        r.next();
        expect(r.getString(1), "C");
        expect(r.getInt(2) > 0, true);
      }
    });

    check("a login moved with its hash and sid logs in with its password; PWDCOMPARE on the hash" + at, () -> {
      try (Statement s = db.createStatement()) {
        s.execute("exec sp_addlogin N'Żaneta', N'gęślą', N'Sklep'");
        final String source = EXPRESS ? "password_hash) from sys.sql_logins where name = N'Żaneta'"
            : "password) from master..syslogins where name = N'Żaneta'";
        expect(scalar(db, "select PWDCOMPARE(N'gęślą', " + source), 1);
        final Object hashed = scalar(db, "select (" + source);
        final String literal = hashed instanceof byte[] ? hex((byte[]) hashed) : hashed.toString();
        byte[] sid = new byte[16];
        for (int i = 0; i < 16; ++i) sid[i] = (byte) i;
        if (EXPRESS) {
          s.execute("CREATE LOGIN [Żaneta 2] WITH PASSWORD = " + literal + " HASHED, SID = " + hex(sid)
              + ", DEFAULT_DATABASE = [Sklep], CHECK_POLICY = OFF");
        } else {
          s.execute("exec sp_addlogin N'Żaneta 2', " + literal + ", N'Sklep', @sid = " + hex(sid)
              + ", @encryptopt = 'skip_encryption'");
        }
        try (Connection moved = connect(tds, "", "Żaneta 2", "gęślą")) {
          List<Object> who = rows(moved, "select SUSER_SNAME(), SUSER_SID()").get(0);
          expect(List.of(who.get(0), hex((byte[]) who.get(1))), List.of("Żaneta 2", hex(sid)));
        }
        s.execute("exec sp_droplogin N'Żaneta 2' exec sp_droplogin N'Żaneta'");
      }
    });
    db.close();
  }
}
