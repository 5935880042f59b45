// The page in a real browser: Debian's Chromium, headless, opens the page served as scripts/web serves it, is given
// a real image through the file chooser, lists it, and downloads the tape, whose bytes must be the command line's.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {chromium} = require('playwright-core');
const {realImages, runCli, serve} = require('./support');

const CHROMIUM = process.env.KESTREL_CHROMIUM || '/usr/bin/chromium';

// Playwright starts the browser with a new empty profile of its own (--user-data-dir is its to give).
function launch() {
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

test('the page lists a real image and downloads the tape kestrel-cli makes', async (t) => {
  const {server, url} = await serve();
  t.after(() => server.kill());
  const browser = await launch();
  t.after(() => browser.close());
  const page = await browser.newPage({acceptDownloads: true});
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]');

  const image = realImages().find((entry) => entry.name === 'zx_basic_auto.mgt');
  assert.ok(image, 'zx_basic_auto.mgt is among the real images');
  await page.setInputFiles('#image-input', image.file);
  await page.waitForSelector('#catalogue tbody tr');

  // The table holds kestrel-cli list's cells, row by row.
  const cells = await page.$$eval('#catalogue tbody tr', (rows) =>
    rows.map((row) => [...row.children].map((cell) => cell.textContent)));
  const folder = path.dirname(image.file);
  const listed = runCli(['list', image.name], folder).stdout.toString('latin1').split('\n').filter(Boolean)
    .map((line) => line.split('\t').slice(0, 8));
  assert.deepStrictEqual(cells, listed);
  // The time the page took to list the 800K image, as it measured it with performance.now().
  t.diagnostic(`listed ${image.name} (819,200 bytes) in ${await page.getAttribute('#timing', 'data-ms')} ms`);
  const messages = await page.textContent('#messages');
  assert.strictEqual(messages + '\n', runCli(['check', image.name], folder).stdout.toString('latin1'));

  // The keyboard alone: the listed image's first row has the focus; Enter lists its BASIC.
  await page.keyboard.press('Enter');
  await page.waitForSelector('#basic:not([hidden])');
  // The page marks, as the window does, the statements that stop from tape; the command line lists them plain.
  const basic = (await page.textContent('#basic')).replace(/   <- \+D only, stops from tape: .*$/gm, '');
  assert.match(await page.textContent('#basic'), /<- \+D only, stops from tape: statement 1 CLOSE #\*$/m);
  assert.strictEqual(basic + '\n', runCli(['basic', image.name, '--slot', String(0), '--rewrite'], folder)
    .stdout.toString('latin1'));

  // The tape of every file, with the loader rewrite, byte for byte.
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#tape')]);
  const tape = fs.readFileSync(await download.path());
  const expected = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-tape-')), 'all.tap');
  runCli(['tap', image.name, '-o', expected], folder);
  assert.deepStrictEqual(tape, fs.readFileSync(expected));
  assert.strictEqual(download.suggestedFilename(), 'zx_basic_auto.tap');
  fs.rmSync(path.dirname(expected), {recursive: true, force: true});


  // A gzipped image, unpacked by the browser, lists as kestrel-cli lists the .gz.
  const packed = realImages().find((entry) => entry.name === 'image.dsk.gz');
  await page.setInputFiles('#image-input', packed.file);
  await page.waitForFunction(() => document.querySelector('#image-name').textContent === 'image.dsk');
  const packedCells = await page.$$eval('#catalogue tbody tr', (rows) =>
    rows.map((row) => [...row.children].map((cell) => cell.textContent)));
  const packedListed = runCli(['list', packed.name], path.dirname(packed.file)).stdout.toString('latin1')
    .split('\n').filter(Boolean).map((line) => line.split('\t').slice(0, 8));
  assert.deepStrictEqual(packedCells, packedListed);
  assert.match(await page.textContent('#messages'), /^On image image\.dsk no errors has been found\. 0 files found$/m);
  assert.deepStrictEqual(errors, []);
});

test('once loaded, the page opens and lists an image with the server gone and the network off', async (t) => {
  const {server, url} = await serve();
  t.after(() => server.kill());
  const browser = await launch();
  t.after(() => browser.close());
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]');
  await page.evaluate(() => navigator.serviceWorker.ready);
  server.kill();
  await new Promise((resolve) => server.on('exit', resolve));
  await context.setOffline(true);
  await page.reload();
  await page.waitForSelector('body[data-ready=true]');
  const image = realImages().find((entry) => entry.name === 'zx_screen.mgt');
  await page.setInputFiles('#image-input', image.file);
  await page.waitForSelector('#catalogue tbody tr');
  assert.strictEqual(await page.textContent('#catalogue tbody tr td'), 'Snap A    ');
});
