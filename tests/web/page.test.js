// The page in a real browser: Debian's Chromium, headless, opens the page served as scripts/web serves it, is given
// a real image through the file chooser, lists it, and downloads the tape, whose bytes must be the command line's.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const {spawnSync} = require('node:child_process');
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

// The page served and loaded in a new browser, closed when the test ends; `errors` collects the page's errors.
async function openPage(t, options = {}) {
  const {server, url} = await serve();
  t.after(() => server.kill());
  const browser = await launch();
  t.after(() => browser.close());
  const page = await browser.newPage(options);
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]');
  return {page, errors};
}

test('the page lists a real image and downloads the tape kestrel-cli makes', async (t) => {
  const {page, errors} = await openPage(t, {acceptDownloads: true});

  const image = realImages().find((entry) => entry.name === 'zx_basic_auto.mgt');
  assert.ok(image, 'zx_basic_auto.mgt is among the real images');
  // The choosers offer what the module reads.
  assert.strictEqual(await page.getAttribute('#image-input', 'accept'), '.mgt,.dsk,.img,.sad,.gz,.zip');
  assert.strictEqual(await page.getAttribute('#tape-input', 'accept'), '.tap,.tzx');
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

  assert.ok(await page.isHidden('#convert'));
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


  // A gzipped image lists as kestrel-cli lists the .gz.
  const packed = realImages().find((entry) => entry.name === 'image.dsk.gz');
  await page.setInputFiles('#image-input', packed.file);
  await page.waitForFunction(() => document.querySelector('#image-name').textContent === 'image.dsk.gz');
  const packedCells = await page.$$eval('#catalogue tbody tr', (rows) =>
    rows.map((row) => [...row.children].map((cell) => cell.textContent)));
  const packedListed = runCli(['list', packed.name], path.dirname(packed.file)).stdout.toString('latin1')
    .split('\n').filter(Boolean).map((line) => line.split('\t').slice(0, 8));
  assert.deepStrictEqual(packedCells, packedListed);
  // A packed image converts to a plain one; a plain one does not offer it.
  assert.ok(await page.isVisible('#convert'));
  assert.match(await page.textContent('#messages'), /^On image image\.dsk\.gz no errors has been found\. 0 files found$/m);
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

// The cells of the listed catalogue, and kestrel-cli list's for the same file.
const tableCells = (page) => page.$$eval('#catalogue tbody tr', (rows) =>
  rows.map((row) => [...row.children].map((cell) => cell.textContent)));
const cliCells = (name, folder) => runCli(['list', name], folder).stdout.toString('latin1').split('\n')
  .filter(Boolean).map((line) => line.split('\t').slice(0, 8));

test('the page opens zips and odd names, refuses plainly, and makes discs from any name', async (t) => {
  const {page, errors} = await openPage(t, {acceptDownloads: true, viewport: {width: 360, height: 740}});
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-page-'));
  t.after(() => fs.rmSync(work, {recursive: true, force: true}));
  const find = (name) => realImages().find((entry) => entry.name === name);
  const downloaded = async (click) => {
    const [download] = await Promise.all([page.waitForEvent('download'), click()]);
    return {name: download.suggestedFilename(), bytes: fs.readFileSync(await download.path())};
  };

  // A zip of several images: one button each; the chosen one lists as kestrel-cli lists ARCHIVE/NAME.
  const basicImage = find('zx_basic_auto.mgt');
  const shots = find('zx_screen.mgt');
  for (const image of [basicImage, shots]) fs.copyFileSync(image.file, path.join(work, image.name));
  const zipped = spawnSync('zip', ['-q', 'two.zip', basicImage.name, shots.name], {cwd: work});
  assert.strictEqual(zipped.status, 0, 'zip made the archive');
  await page.setInputFiles('#image-input', path.join(work, 'two.zip'));
  await page.waitForSelector('#image-choices button');
  assert.deepStrictEqual(await page.$$eval('#image-choices button', (buttons) => buttons.map((b) => b.textContent)),
    [basicImage.name, shots.name]);
  await page.click('#image-choices button >> text=' + shots.name);
  await page.waitForSelector('#catalogue tbody tr');
  assert.deepStrictEqual(await tableCells(page), cliCells('two.zip/' + shots.name, work));

  // A cut gzip: the catalogue before it goes, and the status says what kestrel-cli says.
  const packed = fs.readFileSync(find('image.dsk.gz').file);
  fs.writeFileSync(path.join(work, 'cut.mgt.gz'), packed.subarray(0, packed.length - 100));
  await page.setInputFiles('#image-input', path.join(work, 'cut.mgt.gz'));
  await page.waitForSelector('#listing', {state: 'hidden'});
  const said = runCli(['list', 'cut.mgt.gz'], work).stderr.trim().replace(/^kestrel-cli: /, '');
  assert.strictEqual(await page.textContent('#status'), said);

  // A name that is not ASCII comes back as the user's system writes it, in the status and the tape's name.
  const odd = 'Spiel-Übung 1 €.mgt';
  await page.setInputFiles('#image-input', {name: odd, mimeType: 'application/octet-stream',
    buffer: fs.readFileSync(basicImage.file)});
  await page.waitForSelector('#catalogue tbody tr');
  assert.match(await page.textContent('#image-name'), /^Spiel-Übung 1 €\.mgt$/);
  const check = await page.textContent('#messages');
  assert.strictEqual((await downloaded(() => page.click('#tape'))).name, 'Spiel-Übung 1 €.tap');
  // The tape's lines go below the check's findings, which stay; the current row keeps its mark off the table.
  assert.ok((await page.textContent('#messages')).startsWith(check + '\n'));
  assert.strictEqual(await page.getAttribute('#catalogue tbody tr', 'aria-current'), 'true');

  // The rewritten loader's listing says so; Escape closes it and gives the focus back to the row.
  await page.focus('#catalogue tbody tr');
  await page.keyboard.press('Enter');
  await page.waitForSelector('#basic:not([hidden])');
  assert.match(await page.textContent('#view-title'), /\(the loader as the tape holds it\)$/);
  await page.keyboard.press('Escape');
  await page.waitForSelector('#viewer', {state: 'hidden'});

  // Shift with the arrows selects a range that shrinks again when it turns back.
  await page.setInputFiles('#image-input', find('solo-forth-library-blocks.mgt').file);
  await page.waitForFunction(() => document.querySelector('#image-name').textContent.startsWith('solo-forth'));
  for (const key of ['Shift+ArrowDown', 'Shift+ArrowDown', 'Shift+ArrowUp']) await page.keyboard.press(key);
  assert.strictEqual(await page.locator('#catalogue tbody tr[aria-selected=true]').count(), 2);

  // On a narrow screen a picture keeps its shape: twice as high and twice as wide as the Spectrum's.
  await page.setInputFiles('#image-input', shots.file);
  await page.waitForFunction(() => document.querySelector('#image-name').textContent === 'zx_screen.mgt');
  await page.keyboard.press('Enter');
  await page.waitForSelector('#screen-box:not([hidden])');
  const box = await page.locator('#screen').boundingBox();
  assert.ok(box.width < 512 && Math.abs(box.width / box.height - 4 / 3) < 0.02, JSON.stringify(box));

  // A disc of SAM files only offers no tape, and says why.
  await page.setInputFiles('#image-input', find('sam_basic_auto.mgt').file);
  await page.waitForFunction(() => document.querySelector('#image-name').textContent === 'sam_basic_auto.mgt');
  assert.ok(await page.isDisabled('#tape'));
  assert.strictEqual(await page.getAttribute('#tape', 'title'), 'SAM files have no tape form');

  // A disc name without an extension makes NAME.mgt, the disc kestrel-cli make makes; a refused name says why, and
  // the page lists images as before afterwards.
  const tape = path.join(work, 'all.tap');
  runCli(['tap', basicImage.name, '-o', tape], path.dirname(basicImage.file));
  await page.setInputFiles('#tape-input', tape);
  await page.fill('#disc-name', 'game');
  const disc = await downloaded(() => page.click('#make'));
  runCli(['make', 'game.mgt', 'all.tap'], work);
  assert.strictEqual(disc.name, 'game.mgt');
  assert.deepStrictEqual(disc.bytes, fs.readFileSync(path.join(work, 'game.mgt')));
  await page.fill('#disc-name', 'game.txt');
  await page.click('#make');
  assert.match(await page.textContent('#status'), /^No disc made: game\.txt: not a disc image name$/);
  await page.click('#clear-tapes');
  assert.ok(await page.isHidden('#made'));
  await page.setInputFiles('#image-input', shots.file);
  await page.waitForFunction(() => document.querySelector('#image-name').textContent === 'zx_screen.mgt');
  assert.deepStrictEqual(errors, []);
});

test('the page installs as an app, with a worker named after its build', async () => {
  const {server, url} = await serve();
  try {
    const manifest = await (await fetch(url + 'manifest.webmanifest')).json();
    assert.strictEqual(manifest.name, 'Kestrel');
    for (const icon of manifest.icons) assert.strictEqual((await fetch(url + icon.src)).status, 200, icon.src);
    const worker = await (await fetch(url + 'sw.js')).text();
    assert.match(worker, /const BUILD = '\d+\.\d+\.\d+-[0-9a-f]{16}';/);
  } finally {
    server.kill();
  }
});

test('the page edits a disc as kestrel-cli does, with undo and redo', async (t) => {
  const {page, errors} = await openPage(t, {acceptDownloads: true});
  page.on('dialog', (dialog) => dialog.type() === 'prompt' ? dialog.accept('SECOND') : dialog.accept());
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-edit-'));
  t.after(() => fs.rmSync(work, {recursive: true, force: true}));
  const image = realImages().find((entry) => entry.name === 'zx_basic_auto.mgt');
  fs.copyFileSync(image.file, path.join(work, 'disc.mgt'));
  fs.chmodSync(path.join(work, 'disc.mgt'), 0o644);
  const code = realImages().find((entry) => entry.name === 'zx_code.mgt');
  runCli(['tap', code.file, '-o', path.join(work, 'all.tap')], work);
  const original = fs.readFileSync(path.join(work, 'disc.mgt'));
  // The edited disc as "Download the edited image" hands it over: the page's own copy of the listed disc, and once,
  // at the end, a real download (browsers hold back a page that downloads many files in a row).
  const edited = async () => {
    if (await page.isDisabled('#download-edited')) return null;
    return Buffer.from(await page.evaluate(() => [...kestrel.FS.readFile('/disc/' + shownState.name)]));
  };
  const downloaded = async () => {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-edited')]);
    return fs.readFileSync(await download.path());
  };

  await page.setInputFiles('#image-input', path.join(work, 'disc.mgt'));
  await page.waitForSelector('#catalogue tbody tr');
  // Each edit as the page makes it, and as kestrel-cli makes it on its own copy: the same disc after each.
  const steps = [
    [() => page.setInputFiles('#add-input', path.join(work, 'all.tap')), ['add', 'disc.mgt', 'all.tap']],
    [() => page.keyboard.press('F2'), ['rename', 'disc.mgt', '--slot', '1', 'SECOND']],
    [() => page.click('#hidden'), ['attr', 'disc.mgt', '--slot', '1', '+h']],
    [() => page.click('#protected'), ['attr', 'disc.mgt', '--slot', '1', '+p']],
    [() => page.keyboard.press('Delete'), ['rm', 'disc.mgt', '--slot', '1', '--force']],
    [() => page.setInputFiles('#add-input', path.join(work, 'prog.bas')), ['add', 'disc.mgt', 'prog.bas']],
  ];
  fs.writeFileSync(path.join(work, 'prog.bas'), '10 BORDER 2: PRINT "Kestrel"\r\n20 GO TO 10\r\n');
  const states = [original];
  for (const [act, command] of steps) {
    const before = await page.textContent('#edited');
    await act();
    await page.waitForFunction((text) => document.querySelector('#edited').textContent !== text, before)
      .catch(async (error) => assert.fail(`${command.join(' ')}: ${await page.textContent('#status')} (${error})`));
    assert.strictEqual(runCli(command, work).status, 0, command.join(' '));
    const now = fs.readFileSync(path.join(work, 'disc.mgt'));
    assert.deepStrictEqual(await edited(), now, command.join(' '));
    states.push(now);
    // The file the edit changed is the current row: the keys act on it again.
    await page.focus('#catalogue tbody tr[aria-current=true]').catch(() => {});
  }
  // Undo steps back through every state to the disc as opened, and redo forward again.
  for (let at = states.length - 2; at >= 0; --at) {
    await page.keyboard.press('Control+z');
    if (at > 0) assert.deepStrictEqual(await edited(), states[at], 'undo to ' + at);
  }
  assert.ok(await page.isDisabled('#undo'));
  assert.ok(await page.isDisabled('#download-edited'));
  await page.keyboard.press('Control+y');
  assert.deepStrictEqual(await downloaded(), states[1], 'redo');
  assert.ok(await page.isHidden('#save-back'), 'no file to write back to when chosen through the input');

  // Where the browser lets the page write the file back (its file picker stood in for here), the edited disc
  // goes over the chosen file after the question, as the bytes the download gives.
  await page.addInitScript((bytes) => {
    const file = new File([new Uint8Array(bytes)], 'disc.mgt');
    window.showOpenFilePicker = async () => [{name: 'disc.mgt', getFile: async () => file,
      createWritable: async () => ({write: async (data) => { window.written = [...data]; }, close: async () => {}})}];
  }, [...original]);
  await page.reload();
  await page.waitForSelector('body[data-ready=true]');
  await page.click('label[for=image-input]');
  await page.waitForSelector('#catalogue tbody tr');
  await page.setInputFiles('#add-input', path.join(work, 'all.tap'));
  await page.waitForSelector('#save-back:not([disabled])');
  await page.click('#save-back');
  await page.waitForFunction(() => document.querySelector('#status').textContent === 'disc.mgt saved');
  assert.deepStrictEqual(Buffer.from(await page.evaluate(() => window.written)), states[1]);
  assert.deepStrictEqual(errors, []);
});

test('the page finds files across several images as kestrel-cli find does', async (t) => {
  const {page, errors} = await openPage(t);
  const images = realImages().filter((entry) => !entry.file.includes('/sam/') &&
    /^(zx_|sam_|solo|image)/.test(entry.name));
  assert.ok(images.length > 10, 'several images');
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-find-'));
  t.after(() => fs.rmSync(work, {recursive: true, force: true}));
  for (const image of images) fs.copyFileSync(image.file, path.join(work, image.name));
  const names = images.map((image) => image.name);
  await page.setInputFiles('#images-input', names.map((name) => path.join(work, name)));
  await page.waitForSelector('#collection:not([hidden])');
  for (const [pattern, types] of [['*', ''], ['s*', 'zx-basic,sam'], ['[a-c]*e', '']]) {
    await page.fill('#find-pattern', pattern);
    await page.fill('#find-types', types);
    await page.click('#find button[type=submit]');
    const cells = await page.$$eval('#hits tbody tr', (rows) =>
      rows.map((row) => [...row.children].map((cell) => cell.textContent).join('\t')));
    const typeArgs = types === '' ? [] : types.split(',').flatMap((type) => ['--type', type]);
    const found = runCli(['find', pattern, ...names, ...typeArgs], work).stdout.toString('latin1');
    assert.strictEqual(cells.map((line) => line + '\n').join(''), found, `find ${pattern} ${types}`);
    assert.ok(pattern !== '*' || cells.length > 20, 'files were found');
  }
  // A hit opens its image in the catalogue.
  await page.click('#hits tbody tr button');
  await page.waitForSelector('#catalogue tbody tr');
  // A folder: its images, in its subfolders too, the other files left out.
  fs.mkdirSync(path.join(work, 'sub'));
  fs.copyFileSync(images[0].file, path.join(work, 'sub', 'deeper.mgt'));
  fs.writeFileSync(path.join(work, 'notes.txt'), 'not a disc');
  await page.setInputFiles('#folder-input', work);
  await page.waitForFunction((count) => document.querySelectorAll('#collection-list button').length === count,
    images.length + 1);
  assert.match(await page.textContent('#collection-title'), new RegExp(`^${images.length + 1} images of ${images.length + 2} files$`));
  assert.deepStrictEqual(errors, []);
});
