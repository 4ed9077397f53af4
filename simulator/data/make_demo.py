#!/usr/bin/env python3
"""Writes msde-sim's demo data sets: demo.json (SQL Server 2000 Desktop Engine), demo2005.json
(the same site on SQL Server 2005 Express) and the attachable files/Sklep2.mdf and
files/Sklep2_log.ldf; and, as test data, the attachable files of owner-cases/. A small Polish retail site: two shops and a wholesale store, an
offline archive, a damaged database, one the server marks suspect at start-up and one whose
name needs brackets.

The rows are generated from fixed lists with a fixed seed, so the output is the same on
every run. Run it from anywhere: python3 simulator/data/make_demo.py
"""
import copy
import json
import os
import random
import uuid
from datetime import datetime, timedelta
from decimal import Decimal, ROUND_HALF_UP

HERE = os.path.dirname(os.path.abspath(__file__))
DATA_DIR = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\"
rng = random.Random(2007)


def money(value):
    return str(Decimal(value).quantize(Decimal("0.01"), rounding=ROUND_HALF_UP))


def tovinex_password(database):
    """The password the tool gives the Tovinex login of a database it attaches, and the one
    Tovinex logs in with: the site's Tovinex logins are the ones such attaches made. The rule
    is the tool's (TovinexPassword.cpp): FNV-1a 64 over "Tovinex\\n" and the upper-cased
    name's UTF-8, the SplitMix64 finaliser, then eight base-26 digits from the lowest, as A-Z."""
    mask = (1 << 64) - 1
    value = 0xcbf29ce484222325
    for byte in ("Tovinex\n" + database.upper()).encode("utf-8"):
        value = ((value ^ byte) * 0x100000001b3) & mask
    value = ((value ^ (value >> 30)) * 0xbf58476d1ce4e5b9) & mask
    value = ((value ^ (value >> 27)) * 0x94d049bb133111eb) & mask
    value ^= value >> 31
    letters = ""
    for _ in range(8):
        letters += chr(ord("A") + value % 26)
        value //= 26
    return letters


def stamp(when):
    return when.strftime("%Y-%m-%d %H:%M:%S")


def col(name, type_, length=None, precision=None, scale=None, nullable=True):
    c = {"name": name, "type": type_, "nullable": nullable}
    if length is not None:
        c["length"] = length
    if precision is not None:
        c["precision"] = precision
    if scale is not None:
        c["scale"] = scale
    return c


def files(name, data_pages, log_pages, data_file=None, log_file=None):
    return [
        {"fileid": 1, "name": name + "_Data", "filename": DATA_DIR + (data_file or name + "_Data.MDF"),
         "size": data_pages, "maxsize": -1, "growth": 10, "growth_percent": True},
        {"fileid": 2, "name": name + "_Log", "filename": DATA_DIR + (log_file or name + "_Log.LDF"),
         "size": log_pages, "maxsize": -1, "growth": 10, "growth_percent": True},
    ]


PRODUCTS = [
    ("Chleb pszenny 500 g", "szt", 2.49, 7), ("Bułka kajzerka", "szt", 0.35, 7),
    ("Mleko 3,2% 1 l", "szt", 2.19, 7), ("Masło extra 200 g", "szt", 4.99, 7),
    ("Jajka L 10 szt.", "op", 6.49, 7), ("Śmietana 18% 200 ml", "szt", 1.89, 7),
    ("Twaróg półtłusty 250 g", "szt", 3.29, 7), ("Jogurt naturalny 400 g", "szt", 2.59, 7),
    ("Ser żółty Gouda", "kg", 21.90, 7), ("Szynka wiejska", "kg", 29.90, 7),
    ("Kiełbasa śląska", "kg", 16.50, 7), ("Łosoś wędzony 100 g", "szt", 8.99, 7),
    ("Śledź w oleju 300 g", "szt", 5.49, 7), ("Żurek w butelce 0,5 l", "szt", 2.99, 7),
    ("Mąka pszenna 1 kg", "szt", 2.29, 3), ("Cukier biały 1 kg", "szt", 3.19, 22),
    ("Ryż biały 1 kg", "szt", 3.99, 7), ("Makaron świderki 500 g", "szt", 2.79, 7),
    ("Płatki owsiane 500 g", "szt", 2.49, 7), ("Olej rzepakowy 1 l", "szt", 5.99, 7),
    ("Kawa mielona 250 g", "szt", 9.99, 22), ("Herbata czarna 100 tb.", "op", 7.49, 22),
    ("Czekolada mleczna 100 g", "szt", 2.99, 22), ("Pączek z różą", "szt", 1.20, 7),
    ("Drożdżówka z serem", "szt", 1.50, 7), ("Woda mineralna 1,5 l", "szt", 1.49, 7),
    ("Sok pomarańczowy 1 l", "szt", 3.49, 7), ("Piwo jasne 0,5 l", "szt", 2.69, 22),
    ("Ziemniaki 2 kg", "op", 3.99, 3), ("Jabłka Ligol", "kg", 2.99, 3),
    ("Pomidory", "kg", 6.99, 3), ("Ogórki gruntowe", "kg", 4.49, 3),
    ("Ketchup łagodny 500 g", "szt", 3.79, 22), ("Musztarda sarepska 180 g", "szt", 1.99, 22),
    ("Chrzan tarty 180 g", "szt", 2.29, 22), ("Papier toaletowy 8 rolek", "op", 8.99, 22),
    ("Proszek do prania 2 kg", "op", 17.99, 22), ("Mydło w kostce", "szt", 1.79, 22),
    ("Pasta do zębów 75 ml", "szt", 4.49, 22), ("Zapałki 10 pudełek", "op", 1.29, 22),
]

FIRST = ["Anna", "Katarzyna", "Małgorzata", "Agnieszka", "Barbara", "Piotr", "Krzysztof",
         "Andrzej", "Tomasz", "Paweł", "Łukasz", "Grzegorz", "Zofia", "Jadwiga", "Michał"]
LAST = ["Nowak", "Kowalska", "Wiśniewski", "Wójcik", "Kowalczyk", "Kamińska", "Lewandowski",
        "Zieliński", "Szymańska", "Woźniak", "Dąbrowski", "Kozłowska", "Jankowski", "Mazur",
        "Krawczyk"]
CITIES = [("Kraków", "30-"), ("Wieliczka", "32-"), ("Tarnów", "33-"), ("Nowy Sącz", "33-"),
          ("Bochnia", "32-"), ("Myślenice", "32-"), ("Rzeszów", "35-"), ("Łódź", "90-")]
STREETS = ["ul. Długa", "ul. Krakowska", "ul. Słoneczna", "ul. Ogrodowa", "ul. Kościuszki",
           "ul. Mickiewicza", "ul. Źródlana", "os. Złotej Jesieni", "ul. Żeromskiego"]
COMPANIES = ["PPHU „Jantar”", "Piekarnia Kłos s.c.", "Hurtownia Spożywcza Smak",
             "Zakłady Mięsne Bacówka", "Mleczarnia Łąka", "Browar Zamkowy",
             "Przedsiębiorstwo Handlowe Żuraw", "Ogrodnictwo Wiśniewski", "Firma Usługowa Ład",
             "Sklep Osiedlowy Pod Lipą", "Dom Handlowy Sądecki", "Bar Mleczny Żaczek",
             "Cukiernia Słodki Kącik", "Restauracja Pod Wawelem", "Szkoła Podstawowa nr 12"]


def nip():
    d = [rng.randint(0, 9) for _ in range(10)]
    return "%d%d%d-%d%d%d-%d%d-%d%d" % tuple(d)


def ean(i):
    return "590%09d%d" % (rng.randint(0, 10**9 - 1), i % 10)


def products_table(count, owner="dbo", table_id=None, start=datetime(2006, 9, 1)):
    rows = []
    for i, (name, unit, price, vat) in enumerate(PRODUCTS[:count], start=1):
        net = Decimal(str(price)) / (Decimal(100 + vat) / 100)
        added = start + timedelta(days=rng.randint(0, 120), hours=rng.randint(8, 18))
        stock = Decimal(rng.randint(0, 400)) + (Decimal(rng.randint(0, 999)) / 1000 if unit == "kg" else 0)
        rows.append([i, ean(i), name, unit, money(net), vat, money(price), str(stock.quantize(Decimal("0.001"))),
                     i % 17 != 0, stamp(added)])
    return {
        "owner": owner, "name": "Towary", **({"id": table_id} if table_id else {}),
        "columns": [col("IdTowaru", "int", nullable=False), col("Kod", "char", 13),
                    col("Nazwa", "varchar", 60, nullable=False), col("Jednostka", "varchar", 5),
                    col("CenaNetto", "numeric", precision=10, scale=2),
                    col("StawkaVat", "tinyint"), col("Cena", "numeric", precision=10, scale=2),
                    col("Stan", "numeric", precision=12, scale=3), col("Aktywny", "bit", nullable=False),
                    col("DataDodania", "datetime")],
        "rows": rows, "primary_key": ["IdTowaru"],
    }


def customers_table(count):
    rows = []
    for i in range(1, count + 1):
        city, zip_prefix = rng.choice(CITIES)
        rows.append([i, COMPANIES[(i - 1) % len(COMPANIES)], nip(), city,
                     "%s %d" % (rng.choice(STREETS), rng.randint(1, 120)),
                     "%s%03d" % (zip_prefix, rng.randint(0, 999)),
                     None if i % 4 == 0 else "0-12 %03d %02d %02d" % (rng.randint(200, 699), rng.randint(0, 99), rng.randint(0, 99)),
                     money(rng.choice([0, 0, 2, 3, 5, 10]))])
    return {
        "owner": "dbo", "name": "Kontrahenci",
        "columns": [col("IdKontrahenta", "int", nullable=False), col("Nazwa", "nvarchar", 100, nullable=False),
                    col("NIP", "char", 13), col("Miasto", "nvarchar", 40), col("Ulica", "nvarchar", 60),
                    col("KodPocztowy", "char", 6), col("Telefon", "varchar", 20),
                    col("Rabat", "numeric", precision=5, scale=2)],
        "rows": rows, "primary_key": ["IdKontrahenta"],
    }


def cashiers_table(count):
    rows = []
    for i in range(1, count + 1):
        first, last = FIRST[i - 1], LAST[i - 1]
        login = (first[0] + last).lower().translate(str.maketrans("ąćęłńóśźż", "acelnoszz"))
        rows.append([i, first, last, login, i != count])
    return {
        "owner": "dbo", "name": "Kasjerzy",
        "columns": [col("IdKasjera", "smallint", nullable=False), col("Imie", "nvarchar", 30),
                    col("Nazwisko", "nvarchar", 40), col("Login", "varchar", 20), col("Aktywny", "bit")],
        "rows": rows, "primary_key": ["IdKasjera"],
    }


def receipts_tables(count, products, customers, cashiers, year=2007, prefix="P"):
    receipts, lines = [], []
    line_id = 0
    day = datetime(year, 3, 1, 8, 0)
    for i in range(1, count + 1):
        day += timedelta(minutes=rng.randint(5, 240))
        if day.hour >= 20:
            day = day.replace(hour=8) + timedelta(days=1)
        total = Decimal(0)
        for _ in range(rng.randint(1, 5)):
            line_id += 1
            product = rng.randint(1, products)
            _, unit, price, _ = PRODUCTS[product - 1]
            qty = Decimal(rng.randint(200, 2500)) / 1000 if unit == "kg" else Decimal(rng.randint(1, 6))
            discount = Decimal(rng.choice([0, 0, 0, 5, 10]))
            value = (Decimal(str(price)) * qty * (100 - discount) / 100).quantize(Decimal("0.01"), ROUND_HALF_UP)
            total += value
            lines.append([line_id, i, product, str(qty.quantize(Decimal("0.001"))), money(price),
                          money(discount), money(value)])
        customer = rng.randint(1, customers) if i % 5 == 0 else None
        receipts.append([i, "%s/%d/%06d" % (prefix, year, i), stamp(day), rng.randint(1, cashiers),
                         rng.randint(1, 2), money(total), customer])
    return [
        {"owner": "dbo", "name": "Paragony",
         "columns": [col("IdParagonu", "int", nullable=False), col("Numer", "varchar", 20, nullable=False),
                     col("Data", "datetime", nullable=False), col("IdKasjera", "smallint"),
                     col("Kasa", "tinyint"), col("Wartosc", "money"), col("IdKontrahenta", "int")],
         "rows": receipts, "primary_key": ["IdParagonu"]},
        {"owner": "dbo", "name": "Pozycje",
         "columns": [col("IdPozycji", "int", nullable=False), col("IdParagonu", "int", nullable=False),
                     col("IdTowaru", "int", nullable=False), col("Ilosc", "numeric", precision=12, scale=3),
                     col("Cena", "numeric", precision=10, scale=2), col("Rabat", "numeric", precision=5, scale=2),
                     col("Wartosc", "numeric", precision=12, scale=2)],
         "rows": lines, "primary_key": ["IdPozycji"]},
    ]


def shifts_table(owner, count, cashiers):
    rows = []
    start = datetime(2007, 3, 1, 7, 45)
    for i in range(1, count + 1):
        begin = start + timedelta(days=(i - 1) // 2, hours=0 if i % 2 else 7)
        open_cash = Decimal(200)
        end = None if i == count else stamp(begin + timedelta(hours=7, minutes=rng.randint(0, 30)))
        close = None if i == count else money(open_cash + Decimal(rng.randint(80000, 350000)) / 100)
        rows.append([i, 1 + i % 2, rng.randint(1, cashiers), stamp(begin), end, money(open_cash), close])
    return {
        "owner": owner, "name": "Zmiany",
        "columns": [col("IdZmiany", "int", nullable=False), col("Kasa", "tinyint"), col("IdKasjera", "smallint"),
                    col("Poczatek", "datetime"), col("Koniec", "datetime"), col("StanPoczatkowy", "money"),
                    col("StanKoncowy", "money")],
        "rows": rows, "primary_key": ["IdZmiany"],
    }


def workstations_table():
    rows = []
    for i, name in enumerate(["KASA1", "KASA2", "BIURO"], start=1):
        guid = str(uuid.UUID(int=rng.getrandbits(128), version=4)).upper()
        rows.append([guid, name, "192.168.1.%d" % (10 + i), stamp(datetime(2007, 4, 2, 7, 50 + i))])
    return {
        "owner": "dbo", "name": "Stanowiska",
        "columns": [col("IdStanowiska", "uniqueidentifier", nullable=False), col("Nazwa", "varchar", 30),
                    col("Adres", "varchar", 15), col("OstatniePolaczenie", "datetime")],
        "rows": rows, "primary_key": ["IdStanowiska"],
    }


def settings_table():
    footer = ("Dziękujemy za zakupy w sklepie Społem „Pod Lipą”! Zapraszamy od poniedziałku do "
              "soboty w godzinach 6:00-22:00, w niedziele 9:00-15:00. Reklamacje przyjmujemy wyłącznie "
              "z paragonem w ciągu 14 dni od daty zakupu. Towar przeceniony nie podlega zwrotowi. "
              "Życzymy miłego dnia i zapraszamy ponownie. ")
    while len(footer) < 300:
        footer += "Do zobaczenia! "
    footer = footer[:300]
    assert len(footer) == 300
    rows = [
        ["NazwaSklepu", "Sklep Społem „Pod Lipą”", "Nazwa na paragonie"],
        ["Adres", "ul. Długa 12, 30-001 Kraków", "Adres na paragonie"],
        ["NIP", "676-001-22-33", "NIP sprzedawcy"],
        ["StopkaParagonu", footer, "Tekst drukowany pod paragonem (300 znaków)"],
        ["WersjaBazy", "7.1.0.214", "Wersja struktury bazy Tovinex"],
        ["KatalogKopii", "C:\\Kopie\\Sklep", "Katalog kopii zapasowych"],
    ]
    return {
        "owner": "dbo", "name": "Ustawienia",
        "columns": [col("Klucz", "varchar", 40, nullable=False), col("Wartosc", "varchar", 300),
                    col("Opis", "nvarchar", 100)],
        "rows": rows, "primary_key": ["Klucz"],
    }


def number_tables(db, first_id):
    """Gives the tables of a database fixed object ids, as SQL Server would have."""
    for k, t in enumerate(db["tables"]):
        t.setdefault("id", first_id + 16 * k * 1000003 % 900000000)
    return db


def shop(name, dbid, created, cashiers, receipts, products, customers, extra_tables, users):
    tables = [products_table(products), customers_table(customers), cashiers_table(cashiers)]
    tables += receipts_tables(receipts, products, customers, cashiers)
    tables += extra_tables
    db = {"name": name, "dbid": dbid, "crdate": stamp(created), "cmptlevel": 80, "version": 539,
          "options": {"Recovery": "SIMPLE", "IsAutoShrink": 1, "IsAutoClose": 0},
          "files": files(name.replace(" ", "_"), 1280 + 8 * receipts, 128),
          "users": users, "tables": tables}
    return db


def system_db(name, dbid, data_file, log_file, pages, status):
    return {"name": name, "dbid": dbid, "crdate": "2000-08-06 01:29:12" if name != "tempdb" else "2007-04-02 07:31:08",
            "status": status, "status2": 1090519040, "cmptlevel": 80, "version": 539,
            "files": [{"fileid": 1, "name": "master" if name == "master" else ("tempdev" if name == "tempdb" else ("modeldev" if name == "model" else "MSDBData")),
                       "filename": DATA_DIR + data_file, "size": pages, "maxsize": -1, "growth": 10, "growth_percent": True},
                      {"fileid": 2, "name": "mastlog" if name == "master" else ("templog" if name == "tempdb" else ("modellog" if name == "model" else "MSDBLog")),
                       "filename": DATA_DIR + log_file, "size": 64, "maxsize": -1, "growth": 10, "growth_percent": True}],
            "users": [{"name": "guest", "uid": 2}] if name in ("master", "tempdb", "msdb") else []}


CONFIGURATION = [
    ("affinity mask", 0, 2147483647, 0, True, False), ("allow updates", 0, 1, 0, False, True),
    ("awe enabled", 0, 1, 0, True, False), ("c2 audit mode", 0, 1, 0, True, False),
    ("cost threshold for parallelism", 0, 32767, 5, True, True),
    ("Cross DB Ownership Chaining", 0, 1, 0, False, True),
    ("cursor threshold", -1, 2147483647, -1, True, True),
    ("default full-text language", 0, 2147483647, 1033, True, True),
    ("default language", 0, 9999, 0, False, True), ("fill factor (%)", 0, 100, 0, True, False),
    ("index create memory (KB)", 704, 2147483647, 0, True, True),
    ("lightweight pooling", 0, 1, 0, True, False), ("locks", 5000, 2147483647, 0, True, False),
    ("max degree of parallelism", 0, 32, 0, True, True),
    ("max server memory (MB)", 4, 2147483647, 2147483647, True, True),
    ("max text repl size (B)", 0, 2147483647, 65536, False, True),
    ("max worker threads", 32, 32767, 255, True, False), ("media retention", 0, 365, 0, True, False),
    ("min memory per query (KB)", 512, 2147483647, 1024, True, True),
    ("min server memory (MB)", 0, 2147483647, 0, True, True), ("nested triggers", 0, 1, 1, False, True),
    ("network packet size (B)", 512, 65536, 4096, True, True),
    ("open objects", 0, 2147483647, 0, True, False), ("priority boost", 0, 1, 0, True, False),
    ("query governor cost limit", 0, 2147483647, 0, True, True),
    ("query wait (s)", -1, 2147483647, -1, True, True), ("recovery interval (min)", 0, 32767, 0, True, True),
    ("remote access", 0, 1, 1, False, False), ("remote login timeout (s)", 0, 2147483647, 20, False, True),
    ("remote proc trans", 0, 1, 0, False, True), ("remote query timeout (s)", 0, 2147483647, 600, False, True),
    ("scan for startup procs", 0, 1, 0, True, False), ("set working set size", 0, 1, 0, True, False),
    ("show advanced options", 0, 1, 0, False, True), ("two digit year cutoff", 1753, 9999, 2049, True, True),
    ("user connections", 0, 32767, 0, True, False), ("user options", 0, 32767, 0, False, True),
]


def main():
    sklep_users = [
        {"name": "Sklep", "login": "Sklep", "roles": ["db_owner"]},
        {"name": "kasa1", "login": "kasa1", "roles": ["db_datareader", "db_datawriter"]},
        {"name": "kierownik", "login": "kierownik", "roles": []},
    ]
    sklep = shop("Sklep", 5, datetime(2006, 9, 4, 10, 12, 33), 5, 60, 40, 15,
                 [shifts_table("kasa1", 12, 5), workstations_table(), settings_table()], sklep_users)
    number_tables(sklep, 21575115)

    hurt_users = [{"name": "magazyn", "login": "magazyn", "roles": ["db_datareader", "db_datawriter"]},
                  {"name": "ksiegowa", "login": "ksiegowa", "roles": ["db_datareader"]}]
    hurtownia = {"name": "Hurtownia", "dbid": 6, "crdate": "2006-11-20 14:02:51",
                 "options": {"Recovery": "FULL", "IsAutoShrink": 0, "IsAutoClose": 1},
                 "files": files("Hurtownia", 2048, 512), "users": hurt_users,
                 "tables": [customers_table(8) | {"name": "Dostawcy"},
                            products_table(25, owner="magazyn")]}
    deliveries = []
    for i in range(1, 31):
        when = datetime(2007, 1, 8, 9) + timedelta(days=i * 3 // 2, hours=rng.randint(0, 8))
        deliveries.append([i, "WZ/%04d/2007" % (100 + i), stamp(when), rng.randint(1, 8), rng.randint(1, 25),
                           str(Decimal(rng.randint(10, 500))) + ".000", money(rng.randint(50, 4000) + rng.random())])
    hurtownia["tables"].append({"owner": "magazyn", "name": "Dostawy",
                                "columns": [col("IdDostawy", "int", nullable=False), col("NumerWZ", "varchar", 20),
                                            col("Data", "datetime"), col("IdDostawcy", "int"), col("IdTowaru", "int"),
                                            col("Ilosc", "numeric", precision=12, scale=3), col("Wartosc", "money")],
                                "rows": deliveries, "primary_key": ["IdDostawy"]})
    number_tables(hurtownia, 357576312)

    # The till of Sklep Wschód logs in with a login named with Polish letters.
    wschod_users = [{"name": "SklepWschod", "login": "SklepWschod", "roles": ["db_owner"]},
                    {"name": "kasa Wschód", "login": "kasa Wschód", "roles": ["db_datareader", "db_datawriter"]}]
    wschod = shop("Sklep Wschód", 7, datetime(2007, 2, 12, 8, 30, 5), 3, 20, 15, 6, [], wschod_users)
    wschod["files"] = files("Sklep_Wschod", 1440, 128)
    number_tables(wschod, 85575343)

    archive = shop("Archiwum2006", 8, datetime(2006, 1, 2, 9, 0, 0), 4, 12, 12, 5, [],
                   [{"name": "Archiwum", "login": "Archiwum", "roles": ["db_owner"]}])
    archive["options"]["Status"] = "OFFLINE"
    archive["options"]["Updateability"] = "READ_ONLY"
    number_tables(archive, 117575457)

    damaged = shop("SklepZachod", 9, datetime(2006, 10, 16, 11, 45, 0), 3, 15, 12, 5, [],
                   [{"name": "SklepZachod", "login": "SklepZachod", "roles": ["db_owner"]}])
    number_tables(damaged, 149575571)
    receipts_id = next(t["id"] for t in damaged["tables"] if t["name"] == "Paragony")
    lines_id = next(t["id"] for t in damaged["tables"] if t["name"] == "Pozycje")
    damaged["damage"] = [
        {"object_id": receipts_id, "index_id": 1, "page_file": 1, "page": 153, "error": 8928,
         "repair": "REPAIR_REBUILD"},
        {"object_id": lines_id, "index_id": 0, "page_file": 1, "page": 212, "error": 8939,
         "repair": "REPAIR_ALLOW_DATA_LOSS"},
    ]

    data = {
        "_comment": "msde-sim demo data set, written by make_demo.py; log in as sa with password demo",
        "server": {"name": "SKLEP-SERWER", "instance": "", "product_version": "8.00.2039",
                   "product_level": "SP4", "edition": "Desktop Engine", "engine_edition": 4,
                   "collation": "Polish_CI_AS",
                   "collation_seq": "charset=cp1250 sort_order=ci_as collation=Polish_CI_AS"},
        "configuration": [{"name": n, "minimum": lo, "maximum": hi, "config_value": v, "run_value": v,
                           "advanced": adv, "dynamic": dyn} for n, lo, hi, v, adv, dyn in CONFIGURATION],
        "logins": [
            {"name": "BUILTIN\\Administrators", "nt_name": True, "sysadmin": True, "created": "2005-06-14 10:20:00"},
            {"name": "sa", "password": "", "sysadmin": True, "created": "2005-06-14 10:20:00"},
            {"name": "Sklep", "password": tovinex_password("Sklep"), "default_database": "Sklep", "created": "2006-09-04 10:15:02"},
            {"name": "kasa1", "password": "kasa1", "default_database": "Sklep", "language": "polski",
             "created": "2006-09-05 08:00:41"},
            {"name": "kierownik", "password": "", "default_database": "Sklep", "created": "2006-09-05 08:02:13"},
            {"name": "magazyn", "password": "magazyn", "default_database": "Hurtownia", "created": "2006-11-20 14:10:00"},
            {"name": "ksiegowa", "password": "Faktura7", "default_database": "Hurtownia", "language": "polski",
             "created": "2007-01-03 12:31:45"},
            {"name": "SklepWschod", "password": tovinex_password("Sklep Wschód"), "default_database": "Sklep Wschód",
             "created": "2007-02-12 08:31:10"},
            {"name": "kasa Wschód", "password": "żółć1", "default_database": "Sklep Wschód", "language": "polski",
             "created": "2007-02-12 08:40:00"},
            {"name": "Archiwum", "password": tovinex_password("Archiwum2006"), "default_database": "master", "created": "2006-01-02 09:05:00"},
            {"name": "SklepZachod", "password": tovinex_password("SklepZachod"), "default_database": "SklepZachod",
             "created": "2006-10-16 11:47:00"},
        ],
        "databases": [
            system_db("master", 1, "master.mdf", "mastlog.ldf", 1808, 24),
            system_db("tempdb", 2, "tempdb.mdf", "templog.ldf", 1024, 8),
            system_db("model", 3, "model.mdf", "modellog.ldf", 96, 24),
            system_db("msdb", 4, "msdbdata.mdf", "msdblog.ldf", 1776, 24),
            sklep, hurtownia, wschod, archive, damaged,
        ],
    }
    # An attachable database whose tables belong to a user without a login on this server.
    sklep2 = shop("Sklep2", 0, datetime(2006, 5, 22, 16, 3, 0), 3, 18, 14, 6, [],
                  [{"name": "sklep2", "sid": "0x5B1E9C4F22A14D3E8C7A61F0B2D39E11", "roles": ["db_owner"]}])
    for t in sklep2["tables"]:
        t["owner"] = "sklep2"
    number_tables(sklep2, 53575229)
    del sklep2["dbid"]
    sklep2["files"] = files("Sklep2", 1400, 128, "Sklep2.mdf", "Sklep2_log.ldf")
    with open(os.path.join(HERE, "files", "Sklep2.mdf"), "w", encoding="utf-8") as out:
        json.dump(sklep2, out, ensure_ascii=False, indent=1)
        out.write("\n")
    with open(os.path.join(HERE, "files", "Sklep2_log.ldf"), "w", encoding="utf-8") as out:
        json.dump({"log_of": "Sklep2"}, out)
        out.write("\n")

    owner_cases()

    # A shop whose log disk failed: the server could not recover it at start-up and marks it
    # suspect (status 0x100), so the tool shows it as damaged. Drawn after the attachable
    # files, whose rows stay as they were.
    suspect = shop("SklepPoludnie", 10, datetime(2007, 3, 1, 7, 55, 0), 2, 10, 8, 4, [],
                   [{"name": "SklepPoludnie", "login": "SklepPoludnie", "roles": ["db_owner"]}])
    suspect["options"]["Status"] = "SUSPECT"
    number_tables(suspect, 181575685)
    data["databases"].append(suspect)
    data["logins"].append({"name": "SklepPoludnie", "password": tovinex_password("SklepPoludnie"), "default_database": "SklepPoludnie",
                           "created": "2007-03-01 07:58:20"})
    site_health(data)

    with open(os.path.join(HERE, "demo.json"), "w", encoding="utf-8") as out:
        json.dump(data, out, ensure_ascii=False, indent=1)
        out.write("\n")
    with open(os.path.join(HERE, "demo2005.json"), "w", encoding="utf-8") as out:
        json.dump(express_2005(data), out, ensure_ascii=False, indent=1)
        out.write("\n")


def site_health(data):
    """What a look after the site's health should find, drawn after everything else so the
    rows above stay as they were: SklepCentrum near MSDE's 2 GB data limit, Ksiegowosc in
    full recovery with a log four times its data and never a log backup (and a user whose
    login is gone, and kasa1 brought over from another shop's server, whose login here has
    another SID), full backups of some databases in msdb, and Sklep Wschód never backed up."""
    centre = shop("SklepCentrum", 11, datetime(2005, 3, 14, 8, 0, 0), 3, 20, 15, 5, [],
                  [{"name": "SklepCentrum", "login": "SklepCentrum", "roles": ["db_owner"]}])
    centre["files"] = files("SklepCentrum", 258048, 2048)
    centre["files"][0]["used"] = 255310
    number_tables(centre, 213575799)
    books = shop("Ksiegowosc", 12, datetime(2006, 1, 9, 12, 0, 0), 2, 10, 8, 6, [],
                 [{"name": "Ksiegowosc", "login": "Ksiegowosc", "roles": ["db_owner"]},
                  {"name": "biuro", "sid": "0x7C2D4E1A9B3F40C58D6E0F1A2B3C4D5E", "roles": ["db_datareader"]},
                  {"name": "kasa1", "sid": "0x5B8E21C7D04A4F3E9A6B7C8D9E0F1A2B", "roles": ["db_datareader"]}])
    books["options"]["Recovery"] = "FULL"
    books["files"] = files("Ksiegowosc", 1536, 6400)
    books["files"][1]["used"] = 6080
    number_tables(books, 245575913)
    data["databases"] += [centre, books]
    data["logins"] += [
        {"name": "SklepCentrum", "password": tovinex_password("SklepCentrum"), "default_database": "SklepCentrum",
         "created": "2005-03-14 08:02:00"},
        {"name": "Ksiegowosc", "password": tovinex_password("Ksiegowosc"), "default_database": "Ksiegowosc",
         "created": "2006-01-09 12:04:00"},
    ]
    data["backups"] = [
        {"database": name, "type": "D", "started": stamp(when), "finished": stamp(when + timedelta(minutes=minutes)),
         "size_bytes": size, "device": "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\" + name + ".bak"}
        for name, when, minutes, size in [
            ("Sklep", datetime(2007, 4, 1, 22, 0), 1, 11010048),
            ("Hurtownia", datetime(2007, 3, 25, 22, 30), 2, 17301504),
            ("SklepCentrum", datetime(2007, 2, 28, 23, 0), 41, 2093481984),
            ("Ksiegowosc", datetime(2006, 12, 31, 16, 0), 1, 12582912),
        ]]


# SQL Server 2005 adds these options to sp_configure; Express allows user instances.
CONFIGURATION_2005_EXTRA = [
    ("Agent XPs", 0, 1, 0, True, True), ("blocked process threshold", 0, 86400, 0, True, True),
    ("clr enabled", 0, 1, 0, False, True), ("common criteria compliance enabled", 0, 1, 0, True, False),
    ("Database Mail XPs", 0, 1, 0, True, True), ("default trace enabled", 0, 1, 1, True, True),
    ("disallow results from triggers", 0, 1, 0, True, True), ("in-doubt xact resolution", 0, 2, 0, True, True),
    ("Ole Automation Procedures", 0, 1, 0, True, True), ("remote admin connections", 0, 1, 0, False, True),
    ("server trigger recursion", 0, 1, 1, False, True), ("SMO and DMO XPs", 0, 1, 1, True, True),
    ("user instance timeout", 5, 65535, 60, True, True), ("user instances enabled", 0, 1, 1, False, True),
    ("xp_cmdshell", 0, 1, 0, True, True),
]


def express_2005(data):
    """The same site on SQL Server 2005 Express SP2 (instance SQLEXPRESS): its files under
    MSSQL.1, database version 611, the system databases at compatibility level 90 and the
    shop databases, moved over from MSDE, still at 80."""
    site = copy.deepcopy(data)
    site["_comment"] = "msde-sim demo data set (SQL Server 2005 Express), written by make_demo.py"
    site["version"] = "2005"
    site["server"] = {"name": "SKLEP-SERWER", "instance": "SQLEXPRESS", "collation": "Polish_CI_AS",
                      "collation_seq": data["server"]["collation_seq"]}
    options = CONFIGURATION + CONFIGURATION_2005_EXTRA
    renamed = {"Cross DB Ownership Chaining": "cross db ownership chaining"}
    site["configuration"] = sorted(
        ({"name": renamed.get(n, n), "minimum": lo, "maximum": hi, "config_value": v, "run_value": v,
          "advanced": adv, "dynamic": dyn} for n, lo, hi, v, adv, dyn in options),
        key=lambda o: o["name"].lower())
    data_dir_2005 = "C:\\Program Files\\Microsoft SQL Server\\MSSQL.1\\MSSQL\\Data\\"
    for db in site["databases"]:
        db["version"] = 611
        if db["name"] in ("master", "tempdb", "model", "msdb"):
            db["cmptlevel"] = 90
        for f in db["files"]:
            f["filename"] = f["filename"].replace(DATA_DIR, data_dir_2005)
        if db["name"] == "SklepCentrum":  # Express 2005 allows 4 GB of data
            db["files"][0].update(size=516096, used=510620)
    for b in site["backups"]:
        b["device"] = b["device"].replace("\\MSSQL\\BACKUP\\", "\\MSSQL.1\\MSSQL\\BACKUP\\")
    return site


def owner_cases():
    """Attachable test files (not demo databases) for the owners the tool's post-attach set-up
    tells apart: every table the owner's (dbo), tables of jan beside dbo's, and tables of jan
    and of ewa. Their users have no login on the demo server, as after a move from another."""
    cases = [
        ("Dbo", [], ["dbo", "dbo", "dbo"]),
        ("Jan", [("jan", "0x1A2B3C4D5E6F70818293A4B5C6D7E8F9")], ["dbo", "jan", "dbo"]),
        ("JanEwa", [("jan", "0x2A2B3C4D5E6F70818293A4B5C6D7E8F9"), ("ewa", "0x3A2B3C4D5E6F70818293A4B5C6D7E8F9")],
         ["jan", "ewa", "jan"]),
    ]
    out_dir = os.path.join(HERE, "owner-cases")
    os.makedirs(out_dir, exist_ok=True)
    for name, users, owners in cases:
        db = shop(name, 0, datetime(2007, 1, 15, 9, 30, 0), 2, 4, 6, 3, [],
                  [{"name": u, "sid": sid, "roles": ["db_owner"]} for u, sid in users])
        db["tables"] = db["tables"][:len(owners)]
        for table, owner in zip(db["tables"], owners):
            table["owner"] = owner
        number_tables(db, 61575300)
        del db["dbid"]
        db["files"] = files(name, 320, 64, name + ".mdf", name + "_log.ldf")
        with open(os.path.join(out_dir, name + ".mdf"), "w", encoding="utf-8") as out:
            json.dump(db, out, ensure_ascii=False, indent=1)
            out.write("\n")


if __name__ == "__main__":
    main()
