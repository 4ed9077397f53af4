"""Large joins read through pyodbc: a million joined rows go to the client as the server
finds them, and the server's resident memory stays small while it sends them. With the
argument "large", against data/stream.json: the first million rows of a join of two tables
of 100,000 rows each (ten billion rows in all), then the query cancelled and the connection
used again."""
import os
import sys

try:
    import pyodbc
except ImportError:
    print("SKIP: pyodbc is not installed (Debian: python3-pyodbc)")
    sys.exit(77)

DRIVER = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"
LIMIT_KB = 64 * 1024
LARGE = sys.argv[1:] == ["large"]
ROWS = 10 ** 6 if LARGE else 160 * 160 * 40  # every line of a receipt with every other, with every good


def resident_kb(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


pid = os.environ["MSDE_PID"]
db = pyodbc.connect(f"DRIVER={DRIVER};SERVER=127.0.0.1,{os.environ['MSDE_PORT']};UID=sa;PWD=;"
                    "ClientCharset=UTF-8", timeout=10, autocommit=True)
c = db.cursor()
if LARGE:
    if tuple(c.execute("select count(*), min(Nr), max(Nr) from Duza..Lewa").fetchone()) != (100000, 1, 100000):
        print("FAIL: the data set's table Duza..Lewa is not the 100,000 rows numbered from 1")
        sys.exit(1)
    c.execute("select a.Nr, b.Nr, b.Opis from Duza..Lewa a cross join Duza..Prawa b")
else:
    c.execute("select a.IdPozycji, b.IdPozycji, t.Nazwa from Sklep..Pozycje a cross join Sklep..Pozycje b "
              "join Sklep..Towary t on t.IdTowaru > 0")
count, checksum, highest = 0, 0, resident_kb(pid)
while count < ROWS:
    rows = c.fetchmany(10000)
    if not rows:
        break
    count += len(rows)
    checksum += sum(r[0] * r[1] for r in rows)
    highest = max(highest, resident_kb(pid))
print(f"{count} rows, checksum {checksum}, highest VmRSS {highest} kB")
if LARGE:
    # Ten billion rows are not read to their end: the query is cancelled and the connection goes on.
    c.cancel()
    if count != ROWS or c.execute("select 7").fetchone()[0] != 7:
        print(f"FAIL: want {ROWS} rows and the connection usable after the cancel")
        sys.exit(1)
else:
    want_sum = 40 * (160 * 161 // 2) ** 2
    if count != ROWS or checksum != want_sum or c.fetchone() is not None:
        print(f"FAIL: want {ROWS} rows and checksum {want_sum}")
        sys.exit(1)
if highest >= LIMIT_KB:
    print(f"FAIL: the server held {highest} kB, over {LIMIT_KB} kB")
    sys.exit(1)
print("all passed")
