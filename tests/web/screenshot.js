// Takes docs/web-page.png: the page in headless Chromium with a catalogue, an edit and a screen (the disc shown is
// made by kestrel-cli from the tapes of three real images: solo-forth-boot.mgt, zx_screen.mgt, zx_basic_auto.mgt),
// and docs/web-find.png: several real images opened together and a find across them.
// Run after scripts/web --build-only: node tests/web/screenshot.js [OUT.png [FIND.png]]
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {chromium} = require('playwright-core');
const {root, realImages, runCli, serve} = require('./support');

async function main() {
  const out = path.resolve(process.argv[2] || path.join(root, 'docs/web-page.png'));
  const findOut = path.resolve(process.argv[3] || path.join(root, 'docs/web-find.png'));
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-shot-'));
  const images = new Map(realImages().map((entry) => [entry.name, entry.file]));
  const tapes = [];
  for (const name of ['solo-forth-boot.mgt', 'zx_screen.mgt', 'zx_basic_auto.mgt']) {
    const tape = path.join(work, name.replace('.mgt', '.tap'));
    runCli(['tap', images.get(name), '-o', tape], work);
    tapes.push(tape);
  }
  const disc = path.join(work, 'demo.mgt');
  runCli(['make', disc, ...tapes], work);

  const {server, url} = await serve();
  const browser = await chromium.launch({
    executablePath: process.env.KESTREL_CHROMIUM || '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = await browser.newPage({viewport: {width: 1100, height: 1250}});
    await page.goto(url);
    await page.waitForSelector('body[data-ready=true]');
    await page.setInputFiles('#image-input', disc);
    await page.waitForSelector('#catalogue tbody tr');
    // One edit, undoable: the first file hidden.
    await page.click('#hidden');
    await page.waitForFunction(() => document.querySelector('#edited').textContent !== '');
    await page.focus('#catalogue tbody tr');
    await page.keyboard.press('Home');
    // The screen's row, reached with the arrow keys, opened with Enter.
    const index = await page.$$eval('#catalogue tbody tr', (rows) =>
      rows.findIndex((row) => row.children[2].textContent === '6912'));
    for (let i = 0; i < index; ++i) await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Space');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#screen-box:not([hidden])');
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({path: out, fullPage: true});
    console.log('wrote ' + out);

    const found = await browser.newPage({viewport: {width: 1100, height: 900}});
    await found.goto(url);
    await found.waitForSelector('body[data-ready=true]');
    await found.setInputFiles('#images-input', [...images.entries()]
      .filter(([name]) => /^(zx_|sam_screen|solo)/.test(name) && name.endsWith('.mgt')).map(([, file]) => file));
    await found.waitForSelector('#collection:not([hidden])');
    await found.fill('#find-pattern', '*');
    await found.fill('#find-types', 'zx-basic, screen, sam');
    await found.click('#find button[type=submit]');
    await found.screenshot({path: findOut, fullPage: false});
    console.log('wrote ' + findOut);
  } finally {
    await browser.close();
    server.kill();
    fs.rmSync(work, {recursive: true, force: true});
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
