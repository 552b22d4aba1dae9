'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const readline = require('node:readline');
const { spawn } = require('node:child_process');
const { once } = require('node:events');
const { setTimeout: sleep } = require('node:timers/promises');
const { openLink } = require('../test-support/link');

const ENTRY = path.join(__dirname, '..', 'index.js');
const FIRST_LINE = /^Platform simulator listening on (http:\/\/127\.0\.0\.1:\d+)$/;
const ARGS = ['--port', '0', '--exit-with-stdin', '--ping-interval', '150', '--ping-timeout', '120'];

// Started as the C++ tests start it; it ends on SIGTERM, or when its standard input closes.
test('the command line announces its address, applies the ping options and exits cleanly', { timeout: 10000 }, async (t) => {
  const stops = [['SIGTERM', (child) => child.kill('SIGTERM')], ['stdin closed', (child) => child.stdin.end()]];
  for (const [name, stop] of stops) {
    const child = spawn(process.execPath, [ENTRY, ...ARGS], { stdio: ['pipe', 'pipe', 'inherit'] });
    const exited = once(child, 'close');
    t.after(() => child.exitCode === null && child.signalCode === null && child.kill('SIGKILL'));
    const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
    const match = FIRST_LINE.exec((await lines.next()).value);
    assert.ok(match, name);

    // Left connected on purpose: stopping must not wait for it.
    const link = await openLink(t, { url: match[1] });
    const open = JSON.parse((await link.next()).slice(1));
    assert.deepEqual([open.pingInterval, open.pingTimeout], [150, 120], name);
    await sleep(200);
    assert.equal(child.exitCode, null, name);

    stop(child);
    assert.deepEqual(await exited, [0, null], name);
    await link.closed;
  }
});
