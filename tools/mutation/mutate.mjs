// Runs the faults of mutations.json one at a time in a prepared clone (see ./mutate): writes the
// fault into its file, rebuilds, runs the entry's tests, puts the file back. A fault the build
// refuses counts as neither caught nor missed.
//
//   node mutate.mjs --tree <clone> [id-regex] [--out results.md]

import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

function parseArguments(argv) {
  const options = { tree: null, only: null, out: 'mutation-results.md' };
  for (let i = 0; i < argv.length; ++i) {
    if (argv[i] === '--tree') options.tree = argv[++i];
    else if (argv[i] === '--out') options.out = argv[++i];
    else options.only = new RegExp(argv[i]);
  }
  if (!options.tree) throw new Error('--tree is required');
  return options;
}

function occurrences(text, part) {
  let count = 0;
  for (let at = text.indexOf(part); at >= 0; at = text.indexOf(part, at + 1)) ++count;
  return count;
}

function run(command, args, cwd, env = process.env) {
  const started = Date.now();
  const result = spawnSync(command, args, { cwd, env, encoding: 'utf8', maxBuffer: 64 << 20 });
  // Interrupted: the whole run ends (the clone is scratch, so nothing needs putting back).
  if (result.signal) throw new Error(`${command} ended by ${result.signal}`);
  return { status: result.status ?? 1, output: `${result.stdout}${result.stderr}`, seconds: (Date.now() - started) / 1000 };
}

// The names of the tests that failed, from ctest's summary.
function failedTests(output) {
  return [...output.matchAll(/^\s*\d+ - (\S+) \(/gm)].map((match) => match[1]);
}

// Whole test names ("^(tst_a|tst_b)$", "^tst_a$|^tst_b$") build only those programs and what they
// depend on; any other pattern builds everything.
function targetsOf(tests) {
  const names = tests.replace(/^\^\((.*)\)\$$/, '$1').split('|').map((name) => name.replace(/^\^|\$$/g, ''));
  return names.every((name) => /^\w+$/.test(name)) ? ['--target', ...names] : [];
}

function tryFault(fault, tree) {
  const path = join(tree, fault.file);
  const original = readFileSync(path, 'utf8');
  if (occurrences(original, fault.find) !== 1)
    return { result: 'unusable', detail: `text found ${occurrences(original, fault.find)} times` };
  try {
    writeFileSync(path, original.replace(fault.find, () => fault.replace));
    const build = run('cmake', ['--build', join(tree, 'build'), ...targetsOf(fault.tests)], tree);
    if (build.status !== 0) return { result: 'did not build', detail: '', seconds: build.seconds };
    const runtime = mkdtempSync(join(tmpdir(), 'corvanta-runtime.'));
    const test = run('ctest', ['--test-dir', join(tree, 'build'), '-R', fault.tests, '--no-tests=error',
                               '--timeout', '300', '-j', '2'], tree, { ...process.env, XDG_RUNTIME_DIR: runtime });
    rmSync(runtime, { recursive: true, force: true });
    if (/No tests were found/.test(test.output)) return { result: 'unusable', detail: 'no such tests' };
    const seconds = build.seconds + test.seconds;
    if (test.status === 0) return { result: 'MISSED', detail: '', seconds };
    return { result: 'caught', detail: failedTests(test.output).join(', '), seconds };
  } finally {
    writeFileSync(path, original);
  }
}

const options = parseArguments(process.argv.slice(2));
const faults = JSON.parse(readFileSync(join(options.tree, 'tools/mutation/mutations.json'), 'utf8'))
  .filter((fault) => !options.only || options.only.test(fault.id));
const commit = execFileSync('git', ['-C', options.tree, 'rev-parse', '--short', 'HEAD'], { encoding: 'utf8' }).trim();

// The rows of a table an interrupted run of the same commit left behind.
function earlierRows() {
  if (!existsSync(options.out)) return [];
  const lines = readFileSync(options.out, 'utf8').split('\n');
  if (!lines[0].startsWith(`Faults seeded into ${commit}:`)) return [];
  const known = new Map(faults.map((fault) => [fault.id, fault]));
  return lines.filter((line) => line.startsWith('| ') && !line.startsWith('| Fault ')).flatMap((line) => {
    const [id, , , result, detail, seconds] = line.slice(2, -2).split(' | ');
    return known.has(id) ? [{ ...known.get(id), result, detail, seconds: seconds ? Number(seconds) : undefined }] : [];
  });
}

const rows = earlierRows();
const count = (result) => rows.filter((row) => row.result === result).length;
// Written again after every fault, so that an interrupted run leaves what it found.
function writeTable() {
  const table = [
    `Faults seeded into ${commit}: ${count('caught')} caught, ${count('MISSED')} missed, ` +
      `${count('did not build')} did not build, ${count('unusable')} unusable` +
      (rows.length < faults.length ? ` (${rows.length} of ${faults.length} tried).` : '.'),
    '',
    '| Fault | File | Kind | Result | Caught by | s |',
    '|---|---|---|---|---|---|',
    ...rows.map((row) => `| ${row.id} | ${row.file} | ${row.kind} | ${row.result} | ${row.detail ?? ''} | ${row.seconds?.toFixed(0) ?? ''} |`),
    '',
  ];
  writeFileSync(options.out, table.join('\n'));
  return table[0];
}
const tried = new Set(rows.map((row) => row.id));
for (const fault of faults.filter((each) => !tried.has(each.id))) {
  const outcome = tryFault(fault, options.tree);
  rows.push({ ...fault, ...outcome });
  console.log(`${outcome.result.padEnd(13)} ${fault.id} ${outcome.detail ?? ''}`);
  writeTable();
}
console.log(writeTable());
process.exitCode = count('unusable') > 0 ? 1 : 0;
