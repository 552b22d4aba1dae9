'use strict';

const { createSimulator } = require('./src/server');
const { ACCOUNTS } = require('./src/accounts');

const USAGE = 'Usage: node tools/platform-sim [--port N] [--ping-interval MS] [--ping-timeout MS]'
  + ' [--exit-with-stdin]   (N in 0..65535, 0 picks a free port; MS in 1..2147483647)';

// Longer delays overflow Node's timers, which then fire at once.
const MAX_DELAY = 2 ** 31 - 1;
const OPTIONS = {
  '--port': { name: 'port', min: 0, max: 65535 },
  '--ping-interval': { name: 'pingInterval', min: 1, max: MAX_DELAY },
  '--ping-timeout': { name: 'pingTimeout', min: 1, max: MAX_DELAY },
};

// Options come in any order, each at most once; anything else is refused.
function parseOptions(argv) {
  const options = {};
  const flag = argv.indexOf('--exit-with-stdin');
  if (flag >= 0) {
    options.exitWithStdin = true;
    argv = argv.filter((_, i) => i !== flag);
  }
  for (let i = 0; i < argv.length; i += 2) {
    const option = OPTIONS[argv[i]];
    const text = argv[i + 1];
    if (!option || option.name in options || !/^\d+$/.test(text ?? '')) return null;
    const value = Number(text);
    if (value < option.min || value > option.max) return null;
    options[option.name] = value;
  }
  return options;
}

async function main() {
  const options = parseOptions(process.argv.slice(2));
  if (!options) {
    console.error(USAGE);
    process.exit(2);
  }

  const { exitWithStdin, ...settings } = options;
  const simulator = await createSimulator(settings);
  // Other programs read this first line to find the port; keep it exact.
  console.log(`Platform simulator listening on ${simulator.url}`);
  console.log('');
  for (const account of ACCOUNTS) console.log(`${account.email} / ${account.password} / ${account.name}`);

  let stopping = false;
  const stop = async () => {
    if (stopping) return;
    stopping = true;
    await simulator.close();
    process.exit(0);
  };
  process.on('SIGINT', stop);
  process.on('SIGTERM', stop);
  // A test that starts the simulator holds its standard input; when that test ends, even by a
  // crash, the pipe closes and the simulator goes with it instead of outliving it (and keeping
  // the test runner waiting on the output it inherited).
  if (exitWithStdin) {
    process.stdin.on('end', stop);
    process.stdin.on('close', stop);
    process.stdin.resume();
  }
}

main().catch((error) => {
  console.error(`Platform simulator failed to start: ${error.message}`);
  process.exit(1);
});
