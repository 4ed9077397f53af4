"""msde-sim through pyodbc and FreeTDS, as an outside client sees it. Any wrong value,
unexpected error or protocol error fails the run; a case that needs a server facility not
served yet says SKIP and why."""
import datetime
import decimal
import os
import sys
import threading
import time

try:
    import pyodbc
except ImportError:
    print("SKIP: pyodbc is not installed (Debian: python3-pyodbc)")
    sys.exit(77)

DRIVER = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"
PORT = os.environ["MSDE_PORT"]
# SQL Server 2005 speaks TDS 7.2: FreeTDS then ends transactions by transaction manager requests.
EXPRESS = os.environ.get("MSDE_PERSONALITY") == "2005"
failures = []


def connect(user="sa", password="", **kw):
    return pyodbc.connect(
        f"DRIVER={DRIVER};SERVER=127.0.0.1,{PORT};UID={user};PWD={password};"
        "ClientCharset=UTF-8" + (";TDS_Version=7.2" if EXPRESS else ""), timeout=10, **kw)


def case(name):
    def wrap(fn):
        try:
            fn()
            print("ok  ", name)
        except Skip as s:
            print("SKIP", name, "-", s)
        except Exception as e:  # a case fails on anything unexpected
            failures.append(name)
            print("FAIL", name, "-", repr(e))
        return fn
    return wrap


class Skip(Exception):
    pass


def expect(got, want):
    if got != want:
        raise AssertionError(f"got {got!r}, want {want!r}")


db = connect(autocommit=True)
db.add_output_converter(-150, lambda raw: raw.decode("utf-16-le") if raw is not None else None)


@case("select and Polish text")
def _():
    c = db.cursor()
    expect(tuple(c.execute("select 1, N'Zażółć gęślą jaźń'").fetchone()), (1, "Zażółć gęślą jaźń"))


# Backup inspection, the server's disk and log, and logins moved with their hashes, as Books
# Online documents them; the share \\TEST\kopie is a directory of the run (with-sim.sh).
SHARE = "\\\\TEST\\kopie"


@case("xp_fixeddrives lists the data drive with its free megabytes")
def _():
    c = db.cursor()
    rows = c.execute("exec master..xp_fixeddrives").fetchall()
    expect([d[0] for d in c.description], ["drive", "MB free"])
    expect(rows[0][0], "C")
    expect(isinstance(rows[0][1], int) and rows[0][1] > 0, True)


@case("RESTORE HEADERONLY, FILELISTONLY and VERIFYONLY of a backup on a share")
def _():
    c = db.cursor()
    bak = SHARE + "\\sklep.bak"
    c.execute(f"BACKUP DATABASE Sklep TO DISK = N'{bak}' WITH INIT")
    while c.nextset():
        pass
    c.execute(f"RESTORE HEADERONLY FROM DISK = N'{bak}'")
    names = [d[0] for d in c.description]
    row = c.fetchone()
    expect(len(names), 51 if EXPRESS else 33)
    expect(names[:3] + names[9:11], ["BackupName", "BackupDescription", "BackupType", "DatabaseName", "DatabaseVersion"])
    expect((row[2], row[9], row[10]), (1, "Sklep", 611 if EXPRESS else 539))
    if EXPRESS:
        expect(names[-2:], ["BackupTypeDescription", "BackupSetGUID"])
    files = c.execute(f"RESTORE FILELISTONLY FROM DISK = N'{bak}'").fetchall()
    expect([f[2] for f in files], ["D", "L"])
    expect(len(c.description), 20 if EXPRESS else 6)
    c.execute(f"RESTORE VERIFYONLY FROM DISK = N'{bak}'")
    expect(any(("The backup set on file 1 is valid." if EXPRESS else "The backup set is valid.") in m[1]
               for m in c.messages), True)
    try:
        c.execute(f"RESTORE VERIFYONLY FROM DISK = N'{SHARE}\\brak.bak'")
    except pyodbc.Error as e:
        expect("3201" in str(e), True)
        return
    raise AssertionError("a missing backup file verified")


@case("a refused login is in the error log")
def _():
    try:
        connect("nikt_taki", "zle")
    except pyodbc.Error:
        pass
    c = db.cursor()
    rows = c.execute("exec xp_readerrorlog 0, 1, 'Login failed', 'nikt_taki'").fetchall()
    expect(len(rows) >= 1, True)  # the driver may try more than once
    expect([d[0] for d in c.description], ["LogDate", "ProcessInfo", "Text"] if EXPRESS else ["ERRORLOG", "ContinuationRow"])


@case("a login moved with its hash and sid logs in with its password")
def _():
    c = db.cursor()
    c.execute("exec sp_addlogin N'Zażółć', N'gęślą', N'Sklep'")
    if EXPRESS:
        hashed, sid = c.execute("select password_hash, sid from sys.sql_logins where name = N'Zażółć'").fetchone()
        expect((len(hashed), hashed[:2]), (26, b"\x01\x00"))
        c.execute("CREATE LOGIN [Zażółć 2] WITH PASSWORD = 0x" + hashed.hex() + " HASHED, SID = 0x" +
                  bytes(range(16)).hex() + ", DEFAULT_DATABASE = [Sklep], CHECK_POLICY = OFF")
    else:
        hashed = c.execute("select password from master..syslogins where name = N'Zażółć'").fetchone()[0]
        expect(c.execute("select PWDCOMPARE(N'gęślą', ?)", hashed).fetchone()[0], 1)
        c.execute("exec sp_addlogin N'Zażółć 2', " + hashed + ", N'Sklep', @sid = 0x" + bytes(range(16)).hex() +
                  ", @encryptopt = 'skip_encryption'")
    moved = connect("Zażółć 2", "gęślą")
    expect(tuple(moved.cursor().execute("select SUSER_SNAME(), SUSER_SID()").fetchone()),
           ("Zażółć 2", bytes(range(16))))
    moved.close()
    c.execute("exec sp_droplogin N'Zażółć 2' exec sp_droplogin N'Zażółć'")


@case("several result sets")
def _():
    c = db.cursor()
    c.execute("select 1 as a select 'x' as b")
    expect(c.fetchall()[0][0], 1)
    expect(c.nextset(), True)
    expect(c.fetchall()[0][0], "x")


@case("USE reports its context without raising")
def _():
    c = db.cursor()
    c.execute("use Sklep")
    expect(any("5701" in m[0] for m in c.messages), True)
    expect(c.execute("select DB_NAME()").fetchone()[0], "Sklep")
    c.execute("use master")


@case("an error carries its number")
def _():
    try:
        db.cursor().execute("select * from brak_takiej_tabeli")
    except pyodbc.ProgrammingError as e:
        expect("208" in str(e), True)
        return
    raise AssertionError("no error")


@case("typed parameters keep their types")
def _():
    c = db.cursor()
    row = c.execute("select ?, ?, ?, ?, ?, ?", True, decimal.Decimal("-12345.67"), "Łódź",
                    42, 2.5, None).fetchone()
    expect(list(row), [True, decimal.Decimal("-12345.67"), "Łódź", 42, 2.5, None])
    expect(c.description[0][1], bool)


@case("binary parameters and columns are bytes")
def _():
    c = db.cursor()
    row = c.execute("select ?, DATALENGTH(?)", b"\x01\x02\xff", b"\x00\x41").fetchone()
    expect(list(row), [b"\x01\x02\xff", 2])
    expect(c.execute("select sid from master..syslogins where name = 'sa'").fetchone()[0], b"\x01")


@case("datetime parameter keeps its milliseconds")
def _():
    c = db.cursor()
    info = c.execute("sp_datatype_info 93, 3").fetchall()
    # The driver sizes its datetime parameters from these: 23 characters, 3 decimals.
    expect((info[0][0], info[0][2], info[0][13], info[0][14]), ("datetime", 23, 3, 3))
    when = datetime.datetime(2026, 12, 8, 14, 22, 36, 123000)
    expect(c.execute("select ?", when).fetchone()[0], when)


@case("sql_variant of SERVERPROPERTY")
def _():
    c = db.cursor()
    row = c.execute("select SERVERPROPERTY('ProductVersion'), "
                    "DATABASEPROPERTYEX('Sklep', 'Status')").fetchone()
    expect(list(row), ["9.00.3042.00" if EXPRESS else "8.00.2039", "ONLINE"])


@case("a sql_variant variable keeps the base type of its value")
def _():
    c = db.cursor()
    row = c.execute("set nocount on declare @v sql_variant set @v = cast(12.5 as decimal(5,2)) "
                    "select cast(SQL_VARIANT_PROPERTY(@v, 'BaseType') as sysname), "
                    "cast(SQL_VARIANT_PROPERTY(@v, 'Precision') as int), cast(SQL_VARIANT_PROPERTY(@v, 'Scale') as int), "
                    "cast(@v as decimal(5,2))").fetchone()
    expect(tuple(row), ("decimal", 5, 2, decimal.Decimal("12.50")))
    c.execute("set nocount off")


@case("a cancelled statement stops and the connection goes on")
def _():
    other = connect(autocommit=True)
    c = other.cursor()
    def cancel_once_running():
        # The server traces a statement before it runs it.
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            with open(os.environ["MSDE_TRACE"], encoding="utf-8") as trace:
                if "waitfor delay '00:00:20'" in trace.read():
                    c.cancel()
                    return
            time.sleep(0.01)
    canceller = threading.Thread(target=cancel_once_running)
    canceller.start()
    try:
        c.execute("waitfor delay '00:00:20'")
        raise AssertionError("not cancelled")
    except pyodbc.Error as e:
        expect("HY008" in str(e), True)
    finally:
        canceller.join()
    expect(c.execute("select 7").fetchone()[0], 7)


@case("a wrong password is refused with 18456")
def _():
    try:
        connect(password="zle")
    except pyodbc.Error as e:
        expect("18456" in str(e), True)
        return
    raise AssertionError("logged in")


@case("manual commit mode: changes, row counts, rollback and commit")
def _():
    tx = connect(autocommit=False)
    c = tx.cursor()
    expect(c.execute("select @@TRANCOUNT").fetchone()[0], 1)
    c.execute("use Sklep")
    expect(c.execute("insert into Kasjerzy (IdKasjera, Imie) values (?, ?)", 60, "Żaneta").rowcount, 1)
    expect(c.execute("update Kasjerzy set Aktywny = 0 where IdKasjera >= 4").rowcount, 3)
    tx.rollback()
    expect(c.execute("select count(*) from Kasjerzy where IdKasjera = 60").fetchone()[0], 0)
    c.execute("delete from Kasjerzy where IdKasjera = 5")
    tx.commit()
    other = db.cursor()
    expect(other.execute("select count(*) from Sklep.dbo.Kasjerzy").fetchone()[0], 4)
    try:
        c.execute("insert into Kasjerzy (IdKasjera) values (1)")
        raise AssertionError("a duplicate key was accepted")
    except pyodbc.IntegrityError as e:
        expect("2627" in str(e), True)
    tx.rollback()
    tx.close()


@case("joins, grouping, unions and subqueries")
def _():
    c = db.cursor()
    c.execute("use Sklep")
    rows = c.execute("select t.Nazwa, sum(p.Ilosc) from Towary t join Pozycje p on p.IdTowaru = t.IdTowaru "
                     "group by t.Nazwa order by 2 desc").fetchall()
    expect((len(rows), rows[0][0], rows[0][1]), (40, "Mleko 3,2% 1 l", decimal.Decimal("30.000")))
    expect(c.execute("select count(*) from Paragony p full join Kontrahenci k "
                     "on k.IdKontrahenta = p.IdKontrahenta").fetchone()[0], 65)
    expect(c.execute("select count(*) from Paragony p left join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta "
                     "where k.IdKontrahenta is null").fetchone()[0], 48)
    expect(c.execute("select count(*) from Kontrahenci k where not exists "
                     "(select * from Paragony p where p.IdKontrahenta = k.IdKontrahenta)").fetchone()[0], 5)
    expect([r[0] for r in c.execute("select IdKasjera from Paragony group by IdKasjera having count(*) > 12 "
                                    "union select 99 order by 1").fetchall()], [1, 2, 99])
    expect(len(c.execute("select top 10 percent * from Towary").fetchall()), 4)
    expect(c.execute("select d.Ile from (select count(*) as Ile from Towary where StawkaVat = 22) as d")
           .fetchone()[0], 13)
    c.execute("use master")


@case("a join in parentheses and a derived table with a column list")
def _():
    c = db.cursor()
    expect(c.execute("select count(*) from Sklep..Towary t join (Sklep..Pozycje p join Sklep..Paragony pa "
                     "on pa.IdParagonu = p.IdParagonu) on p.IdTowaru = t.IdTowaru").fetchone()[0], 160)
    c.execute("select d.x, d.y from (select IdTowaru, Nazwa from Sklep..Towary where IdTowaru = 1) as d(x, y)")
    expect([col[0] for col in c.description], ["x", "y"])
    expect(c.fetchone()[0], 1)


@case("a procedure made by CREATE PROCEDURE: arguments by name and position, OUTPUT and RETURN")
def _():
    c = db.cursor()
    c.execute("create procedure Podwoj @i int, @o int output, @krok int = 1 as set @o = @i * 2 return @i + @krok")
    try:
        expect(tuple(c.execute("set nocount on declare @o int, @r int "
                               "exec @r = Podwoj @i = 21, @o = @o output select @o, @r").fetchone()), (42, 22))
        expect(tuple(c.execute("set nocount on declare @o int, @r int "
                               "exec @r = Podwoj 5, @o output, 10 select @o, @r").fetchone()), (10, 15))
    finally:
        c.execute("set nocount off")
        c.execute("drop procedure Podwoj")


@case("an assignment select sets its variables")
def _():
    c = db.cursor()
    c.execute("set nocount on declare @n int, @m money "
              "select @n = count(*), @m = max(Cena) from Sklep..Towary where StawkaVat = 22 select @n, @m")
    expect(tuple(c.fetchone()), (13, decimal.Decimal("17.9900")))


@case("the system catalogs join")
def _():
    c = db.cursor()
    rows = c.execute("select o.name, c.name from Sklep..sysobjects o join Sklep..syscolumns c on c.id = o.id "
                     "where o.type = 'U' and o.name = 'Kasjerzy' order by c.colid").fetchall()
    expect([r[1] for r in rows], ["IdKasjera", "Imie", "Nazwisko", "Login", "Aktywny"])
    expect(c.execute("select name from systypes where xtype = 167").fetchone()[0], "varchar")


@case("query errors carry SQL Server's numbers")
def _():
    c = db.cursor()
    for sql, number in [("select Nazwa from Sklep..Towary, Sklep..Kontrahenci", 209),
                        ("select (select IdKasjera from Sklep..Kasjerzy)", 512),
                        ("select 1 union select 1, 2", 205),
                        ("select Nazwa, count(*) from Sklep..Towary group by StawkaVat", 8120),
                        ("select x.name from sysobjects o", 4104 if EXPRESS else 107)]:
        try:
            c.execute(sql).fetchall()
            raise AssertionError(f"no error for {sql}")
        except pyodbc.Error as e:
            if f"({number})" not in str(e) and str(number) not in str(e):
                raise AssertionError(f"{sql}: {e}")


@case("LIKE, CASE, ISNULL and CONVERT styles")
def _():
    c = db.cursor()
    row = c.execute("select case when N'Łódź' like N'[K-M]%' then 1 else 0 end, "
                    "case when '10%' like '10!%' escape '!' then 1 else 0 end, isnull(null, 'x'), "
                    "coalesce(null, null, 3), nullif(1, 1), "
                    "convert(varchar(30), cast('2006-09-04 10:12:33.500' as datetime), 113), "
                    "convert(varchar(30), cast('2006-09-04 10:12:33.500' as datetime), 126)").fetchone()
    expect(list(row), [1, 1, "x", 3, None, "04 Sep 2006 10:12:33:500", "2006-09-04T10:12:33.500"])

@case("output through T-SQL variables and sp_executesql")
def _():
    c = db.cursor()
    row = c.execute("set nocount on declare @o int "
                    "exec sp_executesql N'set @o = @i * 2', N'@i int, @o int OUTPUT', @i = 21, @o = @o OUTPUT "
                    "select @o").fetchone()
    expect(row[0], 42)
    row = c.execute("set nocount on declare @i int, @s int set @i = 0 set @s = 0 "
                    "while @i < 5 begin set @i = @i + 1 if @i = 2 continue set @s = @s + @i end select @s").fetchone()
    expect(row[0], 13)
    c.execute("set nocount off")  # the session keeps the option


@case("{CALL} of sp_executesql with its parameters")
def _():
    c = db.cursor()
    expect(c.execute("{CALL sp_executesql (?, ?, ?)}", "select @i * 2", "@i int", 21).fetchone()[0], 42)


@case("RAISERROR with arguments is an error with its text and number")
def _():
    c = db.cursor()
    try:
        c.execute("raiserror('h arg %d %s', 16, 1, 5, 'x')")
        raise AssertionError("no error")
    except pyodbc.Error as e:
        expect("h arg 5 x" in str(e) and "50000" in str(e), True)


@case("smalldatetime rounds to the minute")
def _():
    c = db.cursor()
    row = c.execute("select cast('2026-12-10 10:15:29' as smalldatetime), "
                    "cast('2026-12-10 10:15:30' as smalldatetime)").fetchone()
    expect(tuple(row), (datetime.datetime(2026, 12, 10, 10, 15), datetime.datetime(2026, 12, 10, 10, 16)))
    expect(c.description[0][1], datetime.datetime)


@case("row counts of UPDATE and DELETE inside a transaction")
def _():
    c = db.cursor()
    c.execute("begin tran")
    expect(c.execute("update Sklep.dbo.Kasjerzy set Imie = Imie where IdKasjera = 1").rowcount, 1)
    expect(c.execute("delete from Sklep.dbo.Kasjerzy where IdKasjera = 1").rowcount, 1)
    c.execute("rollback")


@case("row counts of each statement, and none under NOCOUNT")
def _():
    c = db.cursor()
    c.execute("begin tran insert into Sklep..Kasjerzy (IdKasjera, Imie) values (71, N'Ola') "
              "update Sklep..Kasjerzy set Imie = Imie where IdKasjera in (1, 2) "
              "delete from Sklep..Kasjerzy where IdKasjera = 71 rollback")
    counts = [c.rowcount]
    while c.nextset():
        counts.append(c.rowcount)
    expect([n for n in counts if n != -1], [1, 2, 1])
    c.execute("set nocount on update Sklep..Kasjerzy set Imie = Imie where IdKasjera in (1, 2) set nocount off")
    expect(c.rowcount in (-1, 0), True)  # FreeTDS reports a statement without a count as 0, never its 2 rows


@case("a Polish-named login logs in to its default database")
def _():
    till = connect("kasa Wschód", "żółć1")
    expect(tuple(till.cursor().execute("select SUSER_SNAME(), DB_NAME()").fetchone()), ("kasa Wschód", "Sklep Wschód"))
    till.close()


@case("a refused ALTER DATABASE sends its cause first and 5069 after it")
def _():
    try:
        db.cursor().execute("alter database master set offline")
    except pyodbc.Error as e:
        text = str(e)
        expect("Option 'OFFLINE' cannot be set in database 'master'." in text, True)
        expect("5069" not in text or text.index("5058") < text.index("5069"), True)
        return
    raise AssertionError("master went offline")


@case("sp_who's last column")
def _():
    c = db.cursor()
    c.execute("exec sp_who")
    expect(c.description[-1][0], "request_id" if EXPRESS else "cmd")
    c.fetchall()


@case("a reader blocked by an open transaction: sysprocesses, sp_lock, DBCC INPUTBUFFER, ended by KILL")
def _():
    holder, waiter = connect(autocommit=True), connect(autocommit=True)
    hc, wc, mc = holder.cursor(), waiter.cursor(), db.cursor()
    holder_spid = hc.execute("select @@SPID").fetchone()[0]
    waiter_spid = wc.execute("select @@SPID").fetchone()[0]
    hold = "begin tran update Sklep..Kasjerzy set Imie = N'Zofia' where IdKasjera = 1"
    hc.execute(hold)
    read = []
    reader = threading.Thread(target=lambda: read.append(
        wc.execute("select Imie from Sklep..Kasjerzy where IdKasjera = 1").fetchone()[0]))
    reader.start()
    blocked, deadline = 0, time.monotonic() + 20
    while blocked == 0 and time.monotonic() < deadline:
        blocked = mc.execute(f"select blocked from master..sysprocesses where spid = {waiter_spid}").fetchone()[0]
    expect(blocked, holder_spid)
    waittype, lastwaittype = mc.execute("select waittype, lastwaittype from master..sysprocesses "
                                        f"where spid = {waiter_spid}").fetchone()
    expect((waittype, lastwaittype.strip()), (b"\x00\x03", "LCK_M_S"))
    locks = [(r[0], r[4].strip(), r[6], r[7]) for r in mc.execute("exec sp_lock").fetchall()]
    expect([l for l in locks if l[0] == holder_spid and l[1] == "KEY"], [(holder_spid, "KEY", "X", "GRANT")])
    expect([l for l in locks if l[0] == waiter_spid and l[3] == "WAIT"], [(waiter_spid, "KEY", "S", "WAIT")])
    expect(tuple(mc.execute(f"dbcc inputbuffer({holder_spid})").fetchone()), ("Language Event", 0, hold))
    mc.execute(f"kill {holder_spid}")
    reader.join(20)
    expect(read, [mc.execute("select Imie from Sklep..Kasjerzy where IdKasjera = 1").fetchone()[0]])
    expect(mc.execute(f"select blocked from master..sysprocesses where spid = {waiter_spid}").fetchone()[0], 0)
    waiter.close()
    try:
        holder.close()
    except pyodbc.Error:
        pass  # the server has already ended the killed session


print(f"{len(failures)} failed" if failures else "all passed")
sys.exit(1 if failures else 0)
