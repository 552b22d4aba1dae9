'use strict';

const { createSimulator } = require('./src/server');
const { ACCOUNTS } = require('./src/accounts');

const USAGE = 'Usage: node tools/platform-sim [--port N]   (N in 0..65535, 0 picks a free port)';

function parsePort(argv) {
  if (argv.length === 0) return 0;
  if (argv.length !== 2 || argv[0] !== '--port' || !/^\d+$/.test(argv[1])) return null;
  const port = Number(argv[1]);
  return port <= 65535 ? port : null;
}

async function main() {
  const port = parsePort(process.argv.slice(2));
  if (port === null) {
    console.error(USAGE);
    process.exit(2);
  }

  const simulator = await createSimulator({ port });
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
}

main().catch((error) => {
  console.error(`Platform simulator failed to start: ${error.message}`);
  process.exit(1);
});
