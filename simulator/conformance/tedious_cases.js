// msde-sim through Node's tedious, the strictest outside TDS client: any wrong value, error
// or protocol error fails the run.
'use strict';
const fs = require('fs');
const { Connection, Request, TYPES } = require('tedious');

const failures = [];
// SQL Server 2005 speaks TDS 7.2 (and tedious then uses transaction manager requests).
const express = process.env.MSDE_PERSONALITY === '2005';

function connect() {
  return new Promise((resolve, reject) => {
    const connection = new Connection({
      server: '127.0.0.1',
      authentication: { type: 'default', options: { userName: 'sa', password: '' } },
      options: {
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
    connection.on('error', (err) => failures.push(`connection error: ${err.message}`));
    connection.connect();
  });
}

// Runs a request: a batch (no parameters) or sp_executesql; resolves with rows, output
// parameters and messages, rejects with the request's error.
function run(connection, sql, { params = [], outputs = [], batch = false } = {}) {
  return new Promise((resolve, reject) => {
    const result = { rows: [], returns: {}, infos: [] };
    const onInfo = (m) => result.infos.push(m);
    connection.on('infoMessage', onInfo);
    const request = new Request(sql, (err) => {
      connection.removeListener('infoMessage', onInfo);
      if (err) reject(err);
      else resolve(result);
    });
    for (const [name, type, value, options] of params) request.addParameter(name, type, value, options);
    for (const [name, type, value, options] of outputs) request.addOutputParameter(name, type, value, options);
    request.on('row', (columns) => result.rows.push(columns.map((c) => c.value)));
    request.on('returnValue', (name, value) => { result.returns[name] = value; });
    if (batch) connection.execSqlBatch(request);
    else connection.execSql(request);
  });
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
      ['select (select IdKasjera from Sklep..Kasjerzy)', 512], ['select 1 union select 1, 2', 205]]) {
      try {
        await run(c, sql, { batch: true });
        throw new Error(`no error for ${sql}`);
      } catch (e) {
        expect(e.number, number, sql);
      }
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

  c.close();
  console.log(failures.length ? `${failures.length} failed` : 'all passed');
  process.exit(failures.length ? 1 : 0);
}

main().catch((e) => {
  console.log('FAIL', e.message);
  process.exit(1);
});
