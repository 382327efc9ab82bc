// The simulator's page in a real browser: Debian's Chromium, driven through playwright-core.
// Starts the simulator, opens the page, runs the demo's host against the simulator, and checks
// that the page shows what the host did; then presses Disconnect and checks through the real
// adapter (facepad-cli status) that GetTerminalStatusFace now returns false. Saves a screenshot.
//   node page_test.js --sim BIN --host BIN --cli BIN [--screenshot FILE]
'use strict';

const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');

const CHROMIUM = '/usr/bin/chromium';
const STEP_MS = 20000;  // the host's results arrive about 8 s after it starts
const CHROMIUM_ARGS = [
  '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

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
}

async function main() {
  const opts = options();
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
