'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const net = require('node:net');
const path = require('node:path');
const readline = require('node:readline');
const { spawn } = require('node:child_process');
const { once } = require('node:events');
const { openLink } = require('../test-support/link');

const ENTRY = path.join(__dirname, '..', 'index.js');
const FIRST_LINE = /^Platform simulator listening on http:\/\/127\.0\.0\.1:(\d+)$/;

function startCli(t, args, stdin = 'ignore') {
  const child = spawn(process.execPath, [ENTRY, ...args], { stdio: [stdin, 'pipe', 'pipe'] });
  const exited = once(child, 'close');
  t.after(() => child.exitCode === null && child.signalCode === null && child.kill('SIGKILL'));
  const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
  const nextLine = async () => (await lines.next()).value;
  return { child, exited, nextLine };
}

async function freePort() {
  const server = net.createServer().listen(0, '127.0.0.1');
  await once(server, 'listening');
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

test('the command line announces its address, serves, and exits cleanly on a signal', async (t) => {
  const cases = [
    ['--port 0, SIGTERM', async () => ['--port', '0'], 'SIGTERM'],
    ['no arguments, SIGINT', async () => [], 'SIGINT'],
    ['a chosen port, SIGTERM', async () => ['--port', String(await freePort())], 'SIGTERM'],
  ];
  for (const [name, argsFor, signal] of cases) {
    const args = await argsFor();
    const { child, exited, nextLine } = startCli(t, args);

    const match = FIRST_LINE.exec(await nextLine());
    assert.ok(match, name);
    const port = Number(match[1]);
    if (args[1] && args[1] !== '0') assert.equal(port, Number(args[1]), name);
    assert.equal(await nextLine(), '', name);
    const accounts = [await nextLine(), await nextLine(), await nextLine()];
    assert.deepEqual(accounts, [
      'player@corvanta.test / demo1234 / Demo Player',
      'captain@corvanta.test / captain1234 / Sara Captain',
      'persian@corvanta.test / demo1234 / بازیکن نمونه',
    ], name);

    const response = await fetch(`http://127.0.0.1:${port}/api/launcher/auth`, {
      method: 'POST',
      body: JSON.stringify({ email: 'player@corvanta.test', password: 'demo1234' }),
    });
    assert.equal(response.status, 200, name);

    child.kill(signal);
    assert.deepEqual(await exited, [0, null], name);
  }
});

test('ping settings come in any order with the port, reach the socket endpoint, and SIGTERM still exits cleanly', async (t) => {
  const { child, exited, nextLine } = startCli(t, ['--ping-timeout', '120', '--port', '0', '--ping-interval', '150']);
  const match = FIRST_LINE.exec(await nextLine());
  assert.ok(match);
  const simulator = { url: `http://127.0.0.1:${match[1]}` };

  // Left connected on purpose: the signal must not wait for it.
  const link = await openLink(t, simulator);
  const open = JSON.parse((await link.next()).slice(1));
  assert.equal(open.pingInterval, 150);
  assert.equal(open.pingTimeout, 120);
  assert.equal((await fetch(`${simulator.url}/tournaments`)).status, 200);

  child.kill('SIGTERM');
  assert.deepEqual(await exited, [0, null]);
  await link.closed;
});

test('with --exit-with-stdin it ends when its standard input closes, and not before', async (t) => {
  const { child, exited, nextLine } = startCli(t, ['--exit-with-stdin', '--port', '0'], 'pipe');
  const port = Number(FIRST_LINE.exec(await nextLine())[1]);
  await new Promise((resolve) => setTimeout(resolve, 300));
  assert.equal(child.exitCode, null);
  const answer = await fetch(`http://127.0.0.1:${port}/api/launcher/live-game`);
  assert.equal(answer.status, 401);
  child.stdin.end();
  assert.deepEqual(await exited, [0, null]);
});

test('the command line refuses arguments it does not understand', async (t) => {
  const refused = [
    ['--port'], ['--port', 'abc'], ['--port', '70000'], ['--port', '-1'], ['--verbose'],
    ['--ping-interval'], ['--ping-interval', '0'], ['--ping-interval', '-5'], ['--ping-timeout', 'abc'],
    ['--ping-timeout', '2147483648'], ['--ping-interval', '1.5'], ['--port', '0', '--port', '1'],
    ['--port', '0', '--ping-timeout', '100', 'extra'], ['--exit-with-stdin', '--exit-with-stdin'],
  ];
  for (const args of refused) {
    const { child, exited } = startCli(t, args);
    let stderr = '';
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    assert.deepEqual(await exited, [2, null], args.join(' '));
    assert.ok(stderr.startsWith('Usage: node tools/platform-sim [--port N] [--ping-interval MS] [--ping-timeout MS]'), args.join(' '));
  }
});
