// The simulator's page in a real browser: Debian's Chromium, driven through playwright-core.
// Starts the simulator, opens the page, runs the demo's host against the simulator, and checks
// that the page shows what the host did; then presses Disconnect and checks through the real
// adapter (facepad-cli status) that GetTerminalStatusFace now returns false. Saves a screenshot.
// Presses Reset twice: dismissing the confirmation, which names what would be lost, changes
// nothing; accepting it resets. Then loads USERS users into a second simulator through facepad-cli
// sync-users and checks that the page shows them a page at a time: its first render, the size of
// every state fetch, a search typed key by key (one search, not one per key), the search by pin,
// the jump to a pin, the terminal filter and the pager. It prints the time of each fetch and the simulator's
// memory; with --targets yes (scripts/sim-bench) it holds them to their targets too.
//   node page_test.js --sim BIN --host BIN --cli BIN [--screenshot FILE] [--users N] [--targets yes]
'use strict';

const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');

const CHROMIUM = '/usr/bin/chromium';
const STEP_MS = 20000;  // the host's results arrive about 8 s after it starts
const RENDER_LIMIT_MS = 15000;
const FETCH_LIMIT_BYTES = 2 * 1024 * 1024;
const FETCH_LIMIT_MS = 1000;
const SIM_MEMORY_LIMIT_KB = 200 * 1024;
const SECOND_TERMINAL_USERS = 150;
const CHROMIUM_ARGS = [
  '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

let opts = {};

function options() {
  const named = {};
  const argv = process.argv.slice(2);
  for (let i = 0; i + 1 < argv.length; i += 2) named[argv[i].replace(/^--/, '')] = argv[i + 1];
  for (const required of ['sim', 'host', 'cli']) {
    if (!named[required]) throw new Error('missing --' + required);
  }
  return named;
}

function log(text) {
  console.log('[browser test] ' + text);
}

async function waitForFile(file, child) {
  const deadline = Date.now() + 10000;
  while (Date.now() < deadline) {
    if (child.exitCode !== null) throw new Error('the simulator exited with ' + child.exitCode);
    if (fs.existsSync(file) && fs.readFileSync(file, 'utf8').trim()) {
      return fs.readFileSync(file, 'utf8').trim();
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error('the simulator wrote no port file');
}

function runToEnd(command, args) {
  return new Promise((resolve) => {
    const child = spawn(command, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    let output = '';
    child.stdout.on('data', (chunk) => { output += chunk; });
    child.stderr.on('data', (chunk) => { output += chunk; });
    child.on('close', (code) => resolve({ code, output }));
  });
}

// facepad-cli exits 0 when GetTerminalStatusFace returned true.
function adapterSaysConnected(cli, port, serial) {
  return spawnSync(cli, ['--port', port, 'status', serial], { encoding: 'utf8' }).status === 0;
}

// A 48x48 PNG (a face-like disc on a light ground), made here so that no image file is needed.
function facePng() {
  const zlib = require('zlib');
  const size = 48;
  const rows = [];
  for (let y = 0; y < size; y++) {
    const row = [0];  // filter: none
    for (let x = 0; x < size; x++) {
      const dx = x - 24, dy = y - 24;
      const head = dx * dx + dy * dy < 18 * 18;
      const eye = (Math.abs(dx + 7) < 3 || Math.abs(dx - 7) < 3) && Math.abs(dy + 5) < 3;
      const mouth = Math.abs(dy - 8) < 2 && Math.abs(dx) < 8;
      row.push(...(eye || mouth ? [60, 50, 90] : head ? [240, 196, 150] : [214, 228, 240]));
    }
    rows.push(Buffer.from(row));
  }
  const crcTable = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  const crc32 = (bytes) => {
    let c = 0xffffffff;
    for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  };
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type), data]);
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([length, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header.set([8, 2, 0, 0, 0], 8);  // 8-bit RGB
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header), chunk('IDAT', zlib.deflateSync(Buffer.concat(rows))), chunk('IEND', Buffer.alloc(0))]);
}

function check(condition, what) {
  if (!condition) throw new Error('check failed: ' + what);
  log('ok: ' + what);
}

async function checkScenarioOnPage(page) {
  const row = (serial) => `#terminals tr[data-serial="${serial}"]`;
  for (const serial of ['FACE-0001', 'FACE-0002']) {
    await page.waitForSelector(`${row(serial)}[data-bound="true"]`, { timeout: STEP_MS });
  }
  check(true, 'FACE-0001 and FACE-0002 show as bound');
  check((await page.textContent(`${row('FACE-0002')} .binding`)).includes('channel 2'),
    'FACE-0002 shows channel 2');
  check((await page.getAttribute(row('FACE-0003'), 'data-bound')) === 'false', 'FACE-0003 shows as not bound');
  for (const name of ['Ada Lovelace', 'Alan Turing', 'Grace Hopper']) {
    await page.waitForSelector(`#users td.name:text-is("${name}")`, { timeout: STEP_MS });
  }
  check(true, 'the three added users are listed');
  await page.waitForSelector('#users tr[data-pin="1001"] td.photo-cell > *', { timeout: STEP_MS });
  check(true, 'the photo the host sent for user 1001 has its place on the page');
  await page.waitForSelector('#timeline li.door:has-text("door opened")', { timeout: STEP_MS });
  check(true, 'the timeline shows the door event');
  check((await page.textContent(`${row('FACE-0001')} .doors`)).includes('1 opened'), 'FACE-0001 counts one door opening');
  check((await page.textContent('#summary')).includes('3 users'), 'the summary counts the three users');
}

function startSimulator(work, name, terminals, state) {
  const portFile = path.join(work, name + '.port');
  const args = ['--port', '0', '--port-file', portFile, '--quiet', '--state', state];
  for (const terminal of terminals) args.push('--terminal', terminal);
  const child = spawn(opts.sim, args, { stdio: ['ignore', 'ignore', 'inherit'] });
  return { child, port: waitForFile(portFile, child) };
}

async function runCli(args) {
  const run = await runToEnd(opts.cli, args);
  if (run.code !== 0) throw new Error('facepad-cli ' + args.join(' ') + ' failed:\n' + run.output);
  return run.output;
}

function usersCsv(file, count, photo) {
  const rows = ['pin,name,pri,passwd,verify,card,vicecard,photo'];
  for (let i = 1; i <= count; i++) {
    const pin = String(i).padStart(6, '0');
    rows.push(`${pin},"Zoë Müller, ${i}",0,,0,00${i},,${i % 20 === 0 ? photo : ''}`);
  }
  fs.writeFileSync(file, rows.join('\n') + '\n');
}

function memoryKb(pid, field) {
  const line = fs.readFileSync(`/proc/${pid}/status`, 'utf8').split('\n').find((l) => l.startsWith(field + ':'));
  return Number(line.split(/\s+/)[1]);
}

// Every /_sim/state answer the page gets, with its size and time. Each is read when it has
// finished; `settled()` waits for the readings still under way, before the page goes.
function watchStateFetches(page) {
  const fetches = [];
  const readings = [];
  page.on('requestfinished', (request) => {
    if (!request.url().includes('/_sim/state')) return;
    readings.push((async () => {
      const body = await (await request.response()).body();
      const timing = request.timing();
      fetches.push({ bytes: body.length, ms: timing.responseEnd - timing.requestStart });
    })().catch((error) => log('a state fetch could not be read: ' + error.message)));
  });
  fetches.settled = () => Promise.all(readings);
  return fetches;
}

// The summary the simulator itself reports, read through the page's origin.
function simSummary(page) {
  return page.evaluate(() => fetch('/_sim/state?limit=1').then((r) => r.json()).then((s) => s.summary));
}

async function checkResetConfirmation(page) {
  const asked = [];
  const answerNext = (accept) => page.once('dialog', (dialog) => {
    asked.push(dialog.message());
    return accept ? dialog.accept() : dialog.dismiss();
  });
  answerNext(false);
  await page.click('#reset');
  await page.waitForSelector('#message.ok:has-text("reset cancelled")', { timeout: STEP_MS });
  check(asked.length === 1 && /forgets 3 users, \d+ photos?, \d+ results? not yet fetched/.test(asked[0]),
    'Reset asks first, naming what it would forget: "' + asked.join('') + '"');
  check((await simSummary(page)).users === 3, 'a dismissed Reset changes nothing');
  answerNext(true);
  await page.click('#reset');
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes(' 0 users'), null, { timeout: STEP_MS });
  check((await simSummary(page)).users === 0, 'an accepted Reset forgets the users');
}

// Typing a search key by key, as people do, sends it once typing pauses, not once per key (at
// 100,000 users each search reads them all). Two are let through for a machine that stalls a
// keystroke past the pause.
async function checkTypedSearch(page, count) {
  const searches = [];
  const watch = (request) => {
    const url = new URL(request.url());
    if (url.pathname === '/_sim/state' && url.searchParams.get('search')) searches.push(url.searchParams.get('search'));
  };
  page.on('request', watch);
  const typed = 'muller, 1999';
  let matching = 0;
  for (let i = 1; i <= count; i++) matching += String(i).startsWith('1999') ? 1 : 0;
  await page.click('#user-search');
  await page.keyboard.type(typed, { delay: 50 });
  const range = `1–${Math.min(matching, 100)} of ${matching.toLocaleString('en')}`;
  await page.waitForFunction((t) => document.getElementById('page-range').textContent === t, range, { timeout: STEP_MS });
  page.off('request', watch);
  check(searches.length <= 2 && searches[searches.length - 1] === typed,
    `typing "${typed}" key by key sent ${searches.length} search(es) for its ${typed.length} keys: ${JSON.stringify(searches)}`);
  const names = await page.$$eval('#users td.name', (cells) => cells.map((c) => c.textContent));
  check(names.every((name) => name.startsWith('Zoë Müller, 1999')), `the search "${typed}" finds the ${matching} users named "Zoë Müller, 1999…"`);
  await page.fill('#user-search', '');
  await page.press('#user-search', 'Enter');
}

async function checkManyUsers(context, work, count) {
  const { child, port: portPromise } = startSimulator(work, 'many', ['T1', 'T2'], path.join(work, 'many.db'));
  try {
    const port = await portPromise;
    const pngFile = path.join(work, 'many.png');
    fs.writeFileSync(pngFile, facePng());
    const csv = path.join(work, 'many.csv');
    usersCsv(csv, count, pngFile);
    const few = path.join(work, 'few.csv');
    usersCsv(few, SECOND_TERMINAL_USERS, pngFile);
    await runCli(['--port', port, 'bind', 'T1', '1']);
    await runCli(['--port', port, 'bind', 'T2', '2']);
    const loadStart = Date.now();
    await runCli(['--port', port, 'sync-users', csv, '-t', 'T1', '--jobs', '8', '--no-progress']);
    await runCli(['--port', port, 'sync-users', few, '-t', 'T2', '--no-progress']);
    log(`figure: ${count + SECOND_TERMINAL_USERS} users loaded through facepad-cli in ${((Date.now() - loadStart) / 1000).toFixed(1)} s`);

    const page = await context.newPage();
    const fetches = watchStateFetches(page);
    const total = (count + SECOND_TERMINAL_USERS).toLocaleString('en');
    const start = Date.now();
    await page.goto(`http://127.0.0.1:${port}/`);
    await page.waitForFunction((text) => document.getElementById('summary').textContent.includes(text + ' users'), total, { timeout: RENDER_LIMIT_MS });
    await page.waitForSelector('#users tbody tr:nth-child(100)', { timeout: RENDER_LIMIT_MS });
    const rendered = Date.now() - start;
    log(`figure: the page with ${total} users rendered in ${(rendered / 1000).toFixed(2)} s`);
    check(rendered <= RENDER_LIMIT_MS, `the page renders ${total} users, a page at a time, within ${RENDER_LIMIT_MS / 1000} s`);
    await checkTypedSearch(page, count);

    const lastPin = String(count).padStart(6, '0');
    await page.fill('#user-search', lastPin);
    await page.waitForSelector(`#users tr[data-pin="${lastPin}"]`, { timeout: STEP_MS });
    await page.waitForFunction(() => document.querySelectorAll('#users tbody tr').length === 1, null, { timeout: STEP_MS });
    check(true, 'a search by pin finds the one user');
    await page.fill('#user-search', '');
    await page.press('#user-search', 'Enter');
    const jumpTo = Math.ceil(count * 3 / 4);
    const jumpPin = String(jumpTo).padStart(6, '0');
    const pageStart = Math.floor((jumpTo - 1) / 100) * 100;
    await page.fill('#pin-jump', jumpPin);
    await page.press('#pin-jump', 'Enter');
    await page.waitForSelector(`#users tr.jumped[data-pin="${jumpPin}"]`, { timeout: STEP_MS });
    check((await page.textContent('#page-range')).startsWith((pageStart + 1).toLocaleString('en') + '–'),
      `"go to pin ${jumpPin}" shows the page that holds it, from user ${pageStart + 1}, the row marked`);
    await page.selectOption('#user-terminal', 'T2');
    const range = (text) => page.waitForFunction((t) => document.getElementById('page-range').textContent === t, text, { timeout: STEP_MS });
    await range(`1–100 of ${SECOND_TERMINAL_USERS}`);
    await page.click('#page-next');
    await range(`101–${SECOND_TERMINAL_USERS} of ${SECOND_TERMINAL_USERS}`);
    check(true, 'the terminal filter and the pager show the second terminal\'s users a page at a time');

    await fetches.settled();
    const largest = Math.max(...fetches.map((f) => f.bytes));
    const slowest = Math.max(...fetches.map((f) => f.ms));
    log(`figure: ${fetches.length} state fetches, largest ${(largest / 1024).toFixed(1)} KiB, slowest ${slowest.toFixed(0)} ms`);
    check(largest <= FETCH_LIMIT_BYTES, 'every state fetch is at most 2 MB');
    const resident = memoryKb(child.pid, 'VmRSS');
    const peak = memoryKb(child.pid, 'VmHWM');
    log(`figure: simulator resident memory ${(resident / 1024).toFixed(1)} MB, peak ${(peak / 1024).toFixed(1)} MB`);
    if (opts.targets === 'yes') {
      check(slowest <= FETCH_LIMIT_MS, 'every state fetch takes at most 1 s');
      check(peak <= SIM_MEMORY_LIMIT_KB, 'the simulator stays within 200 MB');
    }
    await page.close();
  } finally {
    child.kill('SIGTERM');
  }
}

async function main() {
  opts = options();
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'facepad-browser-'));
  const portFile = path.join(work, 'port');
  const simulator = spawn(opts.sim, ['--port', '0', '--port-file', portFile, '--quiet',
    '--terminal', 'FACE-0001', '--terminal', 'FACE-0002', '--terminal', 'FACE-0003:offline'],
  { stdio: ['ignore', 'ignore', 'inherit'] });
  let context = null;
  try {
    const port = await waitForFile(portFile, simulator);
    const url = `http://127.0.0.1:${port}/`;
    log('simulator at ' + url);
    context = await chromium.launchPersistentContext(path.join(work, 'profile'), {
      executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS,
      viewport: { width: 1200, height: 860 },
    });
    const page = context.pages()[0] || await context.newPage();
    const outside = [];
    page.on('request', (request) => {
      if (!request.url().startsWith(url)) outside.push(request.url());
    });
    await page.goto(url);
    await page.waitForSelector('#live.on', { timeout: STEP_MS });
    log('page open; running the demo host');

    const host = await runToEnd(opts.host, [port]);
    if (host.code !== 0) throw new Error('the demo host failed:\n' + host.output);
    await checkScenarioOnPage(page);

    // The demo's stand-in photo is not a decodable image, so a real one goes through the adapter.
    const pngFile = path.join(work, 'face.png');
    fs.writeFileSync(pngFile, facePng());
    const sent = await runToEnd(opts.cli, ['--port', port, 'set-photo', 'FACE-0001', '--id', '201', '--pin', '1002', '--file', pngFile]);
    if (sent.code !== 0) throw new Error('facepad-cli set-photo failed:\n' + sent.output);
    const photo = await page.waitForSelector('#users tr[data-pin="1002"] img.photo', { timeout: STEP_MS });
    await page.waitForFunction((img) => img.complete, photo, { timeout: STEP_MS });
    check(await photo.evaluate((img) => img.naturalWidth === 48), 'the photo of user 1002 is shown as an image');

    check(adapterSaysConnected(opts.cli, port, 'FACE-0001'), 'before the control, the adapter sees FACE-0001 connected');
    await page.click('#terminals tr[data-serial="FACE-0001"] button.disconnect');
    await page.waitForSelector('#terminals tr[data-serial="FACE-0001"][data-connected="false"]', { timeout: STEP_MS });
    check(!adapterSaysConnected(opts.cli, port, 'FACE-0001'), 'after Disconnect, GetTerminalStatusFace returns false');
    check(outside.length === 0, 'the page fetched nothing from outside the simulator' + (outside.length ? ': ' + outside.join(', ') : ''));

    if (opts.screenshot) {
      await page.waitForSelector('#message.ok');
      await page.screenshot({ path: opts.screenshot, fullPage: true });
      log('screenshot saved to ' + opts.screenshot);
    }
    await checkResetConfirmation(page);
    await checkManyUsers(context, work, Number(opts.users || 20000));
    log('passed');
  } finally {
    if (context) await context.close();
    simulator.kill('SIGTERM');
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error('[browser test] FAILED: ' + (error.stack || error));
  process.exit(1);
});
