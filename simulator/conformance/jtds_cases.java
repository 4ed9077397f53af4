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
    return DriverManager.getConnection("jdbc:jtds:sqlserver://127.0.0.1:" + PORT + "/" + database + ";tds=" + tds
        + ";loginTimeout=10;socketTimeout=60", "sa", "");
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
        if (c.getObject(4) == null) throw new Skip("RPC output parameters come back NULL");
        expect(c.getInt(4), 42);
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
    db.close();
  }
}
