// msde-sim through Node's tedious, the strictest outside TDS client: any wrong value, error
// or protocol error fails the run.
'use strict';
const fs = require('fs');
const { Connection, Request, TYPES } = require('tedious');

const failures = [];
// SQL Server 2005 speaks TDS 7.2 (and tedious then uses transaction manager requests).
const express = process.env.MSDE_PERSONALITY === '2005';

// A connection as sa to master, or as another login to its database; a connection the test
// expects the server to end (a killed session) may lose its socket without failing the run.
function connect({ userName = 'sa', password = '', database, mayBeEnded = false } = {}) {
  return new Promise((resolve, reject) => {
    const connection = new Connection({
      server: '127.0.0.1',
      authentication: { type: 'default', options: { userName, password } },
      options: {
        database,
        port: Number(process.env.MSDE_PORT),
        tdsVersion: express ? '7_2' : '7_1',
        encrypt: false,
        trustServerCertificate: true,
        connectTimeout: 15000,
        requestTimeout: 30000,
        cancelTimeout: 10000,
      },
    });
    connection.on('connect', (err) => (err ? reject(err) : resolve(connection)));
    connection.on('error', (err) => mayBeEnded || failures.push(`connection error: ${err.message}`));
    connection.connect();
  });
}

// Runs a request: a batch (no parameters) or sp_executesql; resolves with rows, each result
// set's column names, the row count of each statement's DONE (undefined when it carries
// none), output parameters and messages; rejects with the request's error.
function run(connection, sql, { params = [], outputs = [], batch = false } = {}) {
  return new Promise((resolve, reject) => {
    const result = { rows: [], columns: [], counts: [], returns: {}, infos: [] };
    const onInfo = (m) => result.infos.push(m);
    connection.on('infoMessage', onInfo);
    const request = new Request(sql, (err) => {
      connection.removeListener('infoMessage', onInfo);
      if (err) reject(Object.assign(err, { result }));
      else resolve(result);
    });
    for (const [name, type, value, options] of params) request.addParameter(name, type, value, options);
    for (const [name, type, value, options] of outputs) request.addOutputParameter(name, type, value, options);
    request.on('row', (columns) => result.rows.push(columns.map((c) => c.value)));
    request.on('columnMetadata', (columns) => result.columns.push(columns.map((c) => c.colName)));
    request.on('doneInProc', (rowCount) => result.counts.push(rowCount));
    request.on('done', (rowCount) => result.counts.push(rowCount));
    request.on('returnValue', (name, value) => { result.returns[name] = value; });
    if (batch) connection.execSqlBatch(request);
    else connection.execSql(request);
  });
}

// The error a batch ends with (every error it sent in .errors); fails when it runs through.
async function failure(connection, sql) {
  try {
    await run(connection, sql, { batch: true });
  } catch (e) {
    return e;
  }
  throw new Error(`no error for ${sql}`);
}

function expect(got, want, what) {
  const a = JSON.stringify(got), b = JSON.stringify(want);
  if (a !== b) throw new Error(`${what}: got ${a}, want ${b}`);
}

async function check(name, fn) {
  try {
    await fn();
    console.log('ok  ', name);
  } catch (e) {
    failures.push(name);
    console.log('FAIL', name, '-', e.message);
  }
}

async function main() {
  const c = await connect();

  await check('a batch with Polish text and several result sets', async () => {
    const r = await run(c, "select 1 as a, N'Zażółć gęślą jaźń' as b select 2", { batch: true });
    expect(r.rows, [[1, 'Zażółć gęślą jaźń'], [2]], 'rows');
  });

  await check('typed parameters keep their types', async () => {
    const when = new Date(Date.UTC(2026, 11, 8, 14, 22, 36, 123));
    const r = await run(c, 'select @d, @b, @n, @m, @s, @i', {
      params: [['d', TYPES.DateTime, when], ['b', TYPES.Bit, true],
        ['n', TYPES.Decimal, 12.34, { precision: 10, scale: 2 }], ['m', TYPES.Money, 12.5],
        ['s', TYPES.NVarChar, 'Łódź'], ['i', TYPES.Int, null]],
    });
    expect(r.rows[0][0].getTime(), when.getTime(), 'datetime');
    expect(r.rows[0].slice(1), [true, 12.34, 12.5, 'Łódź', null], 'values');
  });

  await check('a long text parameter arrives whole', async () => {
    const r = await run(c, 'select DATALENGTH(@s), RIGHT(@s, 2)', { params: [['s', TYPES.NVarChar, 'ż'.repeat(4998) + 'ab']] });
    expect(r.rows, [[10000, 'ab']], 'length and end');
  });

  await check('output parameters come back with their values', async () => {
    const r = await run(c, 'select 1', {
      outputs: [['x', TYPES.Int, 42], ['s', TYPES.NVarChar, 'żółw']],
    });
    expect(r.returns, { x: 42, s: 'żółw' }, 'output parameters');
  });

  await check('an error carries its number, and USE its context at severity 0', async () => {
    try {
      await run(c, 'select * from brak', { batch: true });
      throw new Error('no error');
    } catch (e) {
      expect(e.number, 208, 'error number');
    }
    const r = await run(c, 'use Sklep', { batch: true });
    expect(r.infos.map((m) => [m.number, m.class]), [[5701, 0]], 'messages');
    await run(c, 'use master', { batch: true });
  });

  await check('sql_variant of SERVERPROPERTY', async () => {
    const r = await run(c, "select SERVERPROPERTY('ProductVersion'), DATABASEPROPERTYEX('Sklep', 'Status')", { batch: true });
    expect(r.rows, [[express ? '9.00.3042.00' : '8.00.2039', 'ONLINE']], 'values');
  });

  await check('transactions: begin, commit and roll back', async () => {
    const call = (method, ...args) => new Promise((resolve, reject) =>
      c[method]((err) => (err ? reject(err) : resolve()), ...args));
    const count = async () => (await run(c, 'select count(*) from Sklep.dbo.Kasjerzy where IdKasjera = 70', { batch: true })).rows[0][0];
    await call('beginTransaction', 'zmiana');
    await run(c, "insert into Sklep.dbo.Kasjerzy (IdKasjera, Imie) values (70, N'Ewa')", { batch: true });
    expect((await run(c, 'select @@TRANCOUNT', { batch: true })).rows, [[1]], 'open transaction');
    await call('rollbackTransaction');
    expect(await count(), 0, 'rolled back');
    await call('beginTransaction', 'zmiana');
    await run(c, "insert into Sklep.dbo.Kasjerzy (IdKasjera, Imie) values (70, N'Ewa')", { batch: true });
    await call('commitTransaction');
    expect(await count(), 1, 'committed');
    expect((await run(c, 'select @@TRANCOUNT', { batch: true })).rows, [[0]], 'none open');
  });

  await check('a cancelled statement stops and the connection goes on', async () => {
    const waiting = run(c, "waitfor delay '00:00:20'", { batch: true });
    // The server traces a statement before it runs it.
    const deadline = Date.now() + 20000;
    while (Date.now() < deadline && !fs.readFileSync(process.env.MSDE_TRACE, 'utf8').includes('00:00:20')) {
      await new Promise((resolve) => setTimeout(resolve, 10));
    }
    c.cancel();
    try {
      await waiting;
      throw new Error('not cancelled');
    } catch (e) {
      expect(e.code, 'ECANCEL', 'error code');
    }
    const r = await run(c, 'select 7', { batch: true });
    expect(r.rows, [[7]], 'after the cancel');
  });

  await check('joins, grouping, unions and subqueries', async () => {
    const one = async (sql) => (await run(c, sql, { batch: true })).rows;
    const best = await one('select top 1 t.Nazwa, sum(p.Ilosc) from Sklep..Towary t join Sklep..Pozycje p '
      + 'on p.IdTowaru = t.IdTowaru group by t.Nazwa order by 2 desc');
    expect(best, [['Mleko 3,2% 1 l', 30]], 'best selling');
    expect(await one('select count(*) from Sklep..Kontrahenci k left join Sklep..Paragony p '
      + 'on k.IdKontrahenta = p.IdKontrahenta'), [[17]], 'left join');
    expect(await one('select count(*) from Sklep..Kontrahenci where IdKontrahenta not in '
      + '(select IdKontrahenta from Sklep..Paragony)'), [[0]], 'NOT IN over a NULL');
    expect(await one("select Miasto from Sklep..Kontrahenci where Miasto like N'[K-M]%' union "
      + "select Miasto from Sklep..Kontrahenci where Miasto like N'Ł%' order by 1"), [['Kraków'], ['Łódź'], ['Myślenice']], 'union');
    expect(await one('select k.Login, (select count(*) from Sklep..Paragony p where p.IdKasjera = k.IdKasjera) '
      + 'from Sklep..Kasjerzy k where k.IdKasjera = 1'), [['anowak', 17]], 'correlated subquery');
  });

  await check('query errors carry their numbers', async () => {
    for (const [sql, number] of [['select Nazwa from Sklep..Towary, Sklep..Kontrahenci', 209],
      ['select (select IdKasjera from Sklep..Kasjerzy)', 512], ['select 1 union select 1, 2', 205],
      ['select Nazwa, count(*) from Sklep..Towary group by StawkaVat', 8120],
      ['select x.name from sysobjects o', express ? 4104 : 107]]) {
      expect((await failure(c, sql)).number, number, sql);
    }
  });

  await check('variables, blocks and loops in one batch', async () => {
    const r = await run(c, 'declare @i int, @s int set @i = 0 set @s = 0 ' +
      'while @i < 5 begin set @i = @i + 1 if @i = 2 continue set @s = @s + @i end select @s', { batch: true });
    expect(r.rows, [[13]], 'sum of 1, 3, 4 and 5');
  });

  await check('sp_executesql output parameters return what the statement set', async () => {
    const r = await run(c, 'set @o = @i * 2', { params: [['i', TYPES.Int, 21]], outputs: [['o', TYPES.Int, null]] });
    expect(r.returns, { o: 42 }, 'output parameter');
  });

  await check('a procedure made by CREATE PROCEDURE returns its output parameter and status by RPC', async () => {
    await run(c, 'create procedure Podwoj @i int, @o int output as set @o = @i * 2 return @i + 1', { batch: true });
    try {
      const r = await new Promise((resolve, reject) => {
        const result = { returns: {}, status: null };
        const request = new Request('Podwoj', (err) => (err ? reject(err) : resolve(result)));
        request.addParameter('i', TYPES.Int, 21);
        request.addOutputParameter('o', TYPES.Int, null);
        request.on('returnValue', (name, value) => { result.returns[name] = value; });
        request.on('doneProc', (rowCount, more, status) => { result.status = status; });
        c.callProcedure(request);
      });
      expect(r, { returns: { o: 42 }, status: 22 }, 'RETURNVALUE and RETURNSTATUS');
    } finally {
      await run(c, 'drop procedure Podwoj', { batch: true });
    }
  });

  await check('PRINT of an expression and RAISERROR with arguments', async () => {
    const r = await run(c, "declare @n int set @n = 5 print 'n = ' + cast(@n as varchar(10))", { batch: true });
    expect(r.infos.map((m) => [m.number, m.class, m.message]), [[0, 0, 'n = 5']], 'print');
    try {
      await run(c, "raiserror('h arg %d %s', 16, 1, 5, 'x')", { batch: true });
      throw new Error('no error');
    } catch (e) {
      expect([e.number, e.class, e.state, e.message], [50000, 16, 1, 'h arg 5 x'], 'raiserror');
    }
  });

  await check('smalldatetime rounds to the minute', async () => {
    const r = await run(c, "select cast('2026-12-10 10:15:29' as smalldatetime), " +
      "cast('2026-12-10 10:15:30' as smalldatetime)", { batch: true });
    expect(r.rows.map((row) => row.map((d) => d.toISOString())),
      [['2026-12-10T10:15:00.000Z', '2026-12-10T10:16:00.000Z']], 'values');
  });

  await check('SQL_VARIANT_PROPERTY names the base type', async () => {
    const r = await run(c, "select SQL_VARIANT_PROPERTY(cast(5 as sql_variant), 'BaseType'), " +
      "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'Scale')", { batch: true });
    expect(r.rows, [['int', 3]], 'properties');
  });

  await check('an endless loop ends at attention', async () => {
    const looping = run(c, 'declare @i int set @i = 0 while 1 = 1 set @i = @i + 1 -- endless loop', { batch: true });
    const deadline = Date.now() + 20000;
    while (Date.now() < deadline && !fs.readFileSync(process.env.MSDE_TRACE, 'utf8').includes('endless loop')) {
      await new Promise((resolve) => setTimeout(resolve, 10));
    }
    c.cancel();
    try {
      await looping;
      throw new Error('not cancelled');
    } catch (e) {
      expect(e.code, 'ECANCEL', 'error code');
    }
    expect((await run(c, 'select 8', { batch: true })).rows, [[8]], 'after the cancel');
  });

  await check('more of the query language: assignments, TOP PERCENT, derived tables, LIKE, CASE and CONVERT', async () => {
    const one = async (sql) => (await run(c, sql, { batch: true })).rows;
    expect(await one('set nocount on declare @n int, @m money select @n = count(*), @m = max(Cena) '
      + 'from Sklep..Towary where StawkaVat = 22 select @n, @m set nocount off'), [[13, 17.99]], 'assignment select');
    expect((await one('select top 10 percent * from Sklep..Towary')).length, 4, 'ten per cent of 40 rows');
    expect(await one('select d.Ile from (select count(*) as Ile from Sklep..Towary where StawkaVat = 22) as d'), [[13]], 'derived table');
    expect(await one('select count(*) from Sklep..Paragony p full join Sklep..Kontrahenci k '
      + 'on k.IdKontrahenta = p.IdKontrahenta'), [[65]], 'full join');
    expect(await one('select count(*) from Sklep..Kontrahenci k where not exists '
      + '(select * from Sklep..Paragony p where p.IdKontrahenta = k.IdKontrahenta)'), [[5]], 'not exists');
    expect(await one('select IdKasjera from Sklep..Paragony group by IdKasjera having count(*) > 12 union select 99 order by 1'),
      [[1], [2], [99]], 'having and union');
    expect(await one("select case when N'Łódź' like N'[K-M]%' then 1 else 0 end, "
      + "case when '10%' like '10!%' escape '!' then 1 else 0 end, isnull(null, 'x'), coalesce(null, null, 3), nullif(1, 1), "
      + "convert(varchar(30), cast('2006-09-04 10:12:33.500' as datetime), 113), "
      + "convert(varchar(30), cast('2006-09-04 10:12:33.500' as datetime), 126)"),
    [[1, 1, 'x', 3, null, '04 Sep 2006 10:12:33:500', '2006-09-04T10:12:33.500']], 'expressions');
    expect((await one("select c.name from Sklep..sysobjects o join Sklep..syscolumns c on c.id = o.id "
      + "where o.type = 'U' and o.name = 'Kasjerzy' order by c.colid")).map((r) => r[0]),
    ['IdKasjera', 'Imie', 'Nazwisko', 'Login', 'Aktywny'], 'catalog join');
  });

  await check('@@ROWCOUNT, @@ERROR after a refused statement, and RAISERROR WITH NOWAIT with widths', async () => {
    expect((await run(c, 'select 1 union all select 2 select @@ROWCOUNT', { batch: true })).rows, [[1], [2], [2]], 'row count');
    const e = await failure(c, 'insert into Sklep..Kasjerzy (IdKasjera) values (1) select @@ERROR');
    expect([e.number, e.result.rows], [2627, [[2627]]], 'duplicate key and @@ERROR');
    const r = await run(c, "raiserror('%5d|%-4s|%x', 10, 1, 42, 'ab', 255) with nowait", { batch: true });
    expect(r.infos.map((m) => [m.number, m.class, m.message]), [[50000, 10, '   42|ab  |ff']], 'informational raiserror');
  });

  await check('DONE counts of INSERT, UPDATE and DELETE, and none under NOCOUNT', async () => {
    const counted = (r) => r.counts.filter((n) => n !== undefined);
    const r = await run(c, "begin tran insert into Sklep..Kasjerzy (IdKasjera, Imie) values (71, N'Ola') "
      + 'update Sklep..Kasjerzy set Imie = Imie where IdKasjera in (1, 2) '
      + 'delete from Sklep..Kasjerzy where IdKasjera = 71 rollback', { batch: true });
    expect(counted(r), [1, 2, 1], 'counts');
    const quiet = await run(c, 'set nocount on update Sklep..Kasjerzy set Imie = Imie where IdKasjera in (1, 2) '
      + 'select 1 set nocount off', { batch: true });
    expect(counted(quiet), [], 'counts under NOCOUNT');
    expect(counted(await run(c, 'update Sklep..Kasjerzy set Imie = Imie where IdKasjera = 1', { batch: true })), [1], 'NOCOUNT off again');
  });

  await check('SQL_VARIANT_PROPERTY: precision, scale and length', async () => {
    const r = await run(c, "select SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'BaseType'), "
      + "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'Precision'), "
      + "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'MaxLength'), "
      + "SQL_VARIANT_PROPERTY(N'żółw', 'BaseType'), SQL_VARIANT_PROPERTY(N'żółw', 'MaxLength')", { batch: true });
    // numeric of precision 1 to 9 is stored in 5 bytes; nvarchar in two bytes a character.
    expect(r.rows, [['numeric', 8, 5, 'nvarchar', 8]], 'properties');
  });

  await check("sp_who's last column", async () => {
    const r = await run(c, 'exec sp_who', { batch: true });
    const names = r.columns[0];
    expect(names[names.length - 1], express ? 'request_id' : 'cmd', 'last column');
  });

  await check('a Polish-named login logs in to its database, and a wrong password is refused', async () => {
    const till = await connect({ userName: 'kasa Wschód', password: 'żółć1' });
    expect((await run(till, 'select SUSER_SNAME(), DB_NAME()', { batch: true })).rows, [['kasa Wschód', 'Sklep Wschód']], 'session');
    till.close();
    try {
      (await connect({ userName: 'kasa Wschód', password: 'zolc1', mayBeEnded: true })).close();
      throw new Error('logged in with a wrong password');
    } catch (e) {
      expect(e.message, "Login failed for user 'kasa Wschód'.", 'refusal');
    }
    const r = await run(c, "exec master..xp_readerrorlog 0, 1, 'Login failed', 'kasa Wschód'", { batch: true });
    expect(r.rows.length >= 1, true, 'the refusal in the error log');
    expect(r.columns[0], express ? ['LogDate', 'ProcessInfo', 'Text'] : ['ERRORLOG', 'ContinuationRow'], 'error log columns');
  });

  await check('a refused ALTER DATABASE sends its cause first and 5069 after it', async () => {
    const e = await failure(c, 'alter database master set offline');
    expect((e.errors || [e]).map((x) => x.number), [5058, 5069], 'errors');
    expect(e.errors[0].message, "Option 'OFFLINE' cannot be set in database 'master'.", 'cause');
  });

  await check('a reader blocked by an open transaction: sysprocesses, sp_lock, DBCC INPUTBUFFER, ended by KILL', async () => {
    const holder = await connect({ database: 'Sklep', mayBeEnded: true });
    const waiter = await connect({ database: 'Sklep' });
    const spid = async (conn) => (await run(conn, 'select @@SPID', { batch: true })).rows[0][0];
    const holderSpid = await spid(holder), waiterSpid = await spid(waiter);
    const hold = "begin tran update Kasjerzy set Imie = N'Zofia' where IdKasjera = 1";
    await run(holder, hold, { batch: true });
    const read = run(waiter, 'select Imie from Kasjerzy where IdKasjera = 1', { batch: true });
    const deadline = Date.now() + 20000;
    let blocked = 0;
    while (blocked === 0 && Date.now() < deadline) {
      blocked = (await run(c, `select blocked from master..sysprocesses where spid = ${waiterSpid}`, { batch: true })).rows[0][0];
    }
    expect(blocked, holderSpid, 'blocked names the holder');
    // A shared lock asked for: LCK_M_S, wait type 0x0003.
    const [waittype, lastwaittype] = (await run(c, 'select waittype, lastwaittype from master..sysprocesses '
      + `where spid = ${waiterSpid}`, { batch: true })).rows[0];
    expect([waittype.toString('hex'), lastwaittype.trim()], ['0003', 'LCK_M_S'], 'wait type');
    expect((await run(c, `select open_tran from master..sysprocesses where spid = ${holderSpid}`, { batch: true })).rows,
      [[1]], 'open_tran of the holder');
    const locks = (await run(c, 'exec sp_lock', { batch: true })).rows
      .map((row) => [row[0], row[4].trim(), row[6], row[7]]);
    expect(locks.filter((l) => l[0] === holderSpid && l[1] === 'KEY'), [[holderSpid, 'KEY', 'X', 'GRANT']], "holder's row lock");
    expect(locks.filter((l) => l[0] === waiterSpid && l[3] === 'WAIT'), [[waiterSpid, 'KEY', 'S', 'WAIT']], "waiter's lock");
    const buffer = (await run(c, `dbcc inputbuffer(${holderSpid})`, { batch: true })).rows[0];
    expect(buffer, ['Language Event', 0, hold], 'input buffer');
    await run(c, `kill ${holderSpid}`, { batch: true });
    const answer = await read;
    expect(answer.rows.length, 1, 'the read goes on');
    expect((await run(c, `select blocked from master..sysprocesses where spid = ${waiterSpid}`, { batch: true })).rows, [[0]], 'no longer blocked');
    expect((await run(c, 'select Imie from Sklep..Kasjerzy where IdKasjera = 1', { batch: true })).rows, answer.rows,
      'the killed transaction was rolled back');
    waiter.close();
    holder.close();
  });

  // Backups on the run's share \\TEST\kopie, the server's disk, and logins moved with their
  // hashes and sids, as Books Online documents them.
  await check('RESTORE HEADERONLY, FILELISTONLY and VERIFYONLY of a backup on a share', async () => {
    const bak = String.raw`\\TEST\kopie\sklep_tedious.bak`;
    await run(c, `BACKUP DATABASE Sklep TO DISK = N'${bak}' WITH INIT`, { batch: true });
    const header = await run(c, `RESTORE HEADERONLY FROM DISK = N'${bak}'`, { batch: true });
    const names = header.columns[0], row = header.rows[0];
    expect(names.length, express ? 51 : 33, 'header columns');
    expect(names.slice(0, 3).concat(names.slice(9, 11)), ['BackupName', 'BackupDescription', 'BackupType', 'DatabaseName', 'DatabaseVersion'], 'names');
    expect([row[2], row[9], row[10]], [1, 'Sklep', express ? 611 : 539], 'header');
    const files = await run(c, `RESTORE FILELISTONLY FROM DISK = N'${bak}'`, { batch: true });
    expect([files.columns[0].length, files.rows.map((f) => f[2])], [express ? 20 : 6, ['D', 'L']], 'file list');
    const verified = await run(c, `RESTORE VERIFYONLY FROM DISK = N'${bak}'`, { batch: true });
    expect(verified.infos.map((m) => m.message), [express ? 'The backup set on file 1 is valid.' : 'The backup set is valid.'], 'verified');
    const missing = await failure(c, String.raw`RESTORE VERIFYONLY FROM DISK = N'\\TEST\kopie\brak.bak'`);
    expect((missing.errors || [missing]).map((x) => x.number), [3201, 3013], 'a missing file');
  });

  await check('xp_fixeddrives lists the data drive with its free megabytes', async () => {
    const r = await run(c, 'exec master..xp_fixeddrives', { batch: true });
    expect(r.columns[0], ['drive', 'MB free'], 'columns');
    expect([r.rows[0][0], Number.isInteger(r.rows[0][1]) && r.rows[0][1] > 0], ['C', true], 'drive C');
  });

  await check('a login moved with its hash and sid logs in with its password; PWDCOMPARE on the hash', async () => {
    await run(c, "exec sp_addlogin N'Żaneta', N'gęślą', N'Sklep'", { batch: true });
    const sid = '0x' + Buffer.from([...Array(16).keys()]).toString('hex');
    const source = express ? "password_hash from sys.sql_logins where name = N'Żaneta'"
      : "password from master..syslogins where name = N'Żaneta'";
    expect((await run(c, `select PWDCOMPARE(N'gęślą', ${source.replace(' from', ') from')}`, { batch: true })).rows, [[1]], 'PWDCOMPARE');
    const hashed = (await run(c, `select ${source}`, { batch: true })).rows[0][0];
    const literal = Buffer.isBuffer(hashed) ? '0x' + hashed.toString('hex') : hashed;
    if (express) {
      await run(c, `CREATE LOGIN [Żaneta 2] WITH PASSWORD = ${literal} HASHED, SID = ${sid}, `
        + 'DEFAULT_DATABASE = [Sklep], CHECK_POLICY = OFF', { batch: true });
    } else {
      await run(c, `exec sp_addlogin N'Żaneta 2', ${literal}, N'Sklep', @sid = ${sid}, @encryptopt = 'skip_encryption'`, { batch: true });
    }
    const moved = await connect({ userName: 'Żaneta 2', password: 'gęślą' });
    const [name, movedSid] = (await run(moved, 'select SUSER_SNAME(), SUSER_SID()', { batch: true })).rows[0];
    expect([name, '0x' + movedSid.toString('hex')], ['Żaneta 2', sid], 'moved login');
    moved.close();
    await run(c, "exec sp_droplogin N'Żaneta 2' exec sp_droplogin N'Żaneta'", { batch: true });
  });

  c.close();
  console.log(failures.length ? `${failures.length} failed` : 'all passed');
  process.exit(failures.length ? 1 : 0);
}

main().catch((e) => {
  console.log('FAIL', e.message);
  process.exit(1);
});
