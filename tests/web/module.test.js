// The WebAssembly module under node, over every real image: what the page shows and downloads must be what
// kestrel-cli prints and writes for the same image (list, check, tap with and without the loader rewrite, export,
// snap, image, and make from the tape), gzipped and zipped images included.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const {realImages, runCli, loadModule} = require('./support');

const latin1 = (bytes) => Buffer.from(bytes).toString('latin1');
const lines = (texts) => texts.map((line) => line + '\n').join('');

test('the module answers as kestrel-cli for every real image', async () => {
  const kestrel = await loadModule();
  for (const folder of ['/disc', '/out', '/tapes']) kestrel.FS.mkdir(folder);
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-web-'));
  const images = realImages();
  assert.ok(images.length >= 20, 'the real images are there');
  let tapes = 0;
  let converted = 0;
  try {
    let archives = 0;
    for (const {name: fileName, file} of images) {
      // The file reaches the module as the page gives it, gzipped or zipped; an archive of several images is
      // listed image by image, as ARCHIVE/NAME.
      const bytes = fs.readFileSync(file);
      const folder = fs.mkdtempSync(path.join(work, 'image-'));
      fs.writeFileSync(path.join(folder, fileName), bytes);
      kestrel.FS.chdir('/disc');
      kestrel.FS.writeFile(fileName, bytes);
      const first = JSON.parse(kestrel.listImage(fileName));
      const names = first.choice ? first.choice.map((inner) => fileName + '/' + inner) : [fileName];
      if (first.choice) {
        ++archives;
        assert.match(runCli(['list', fileName], folder).stderr, /the archive holds \d+ disc images/);
      }
      for (const name of names) {
      const listed = JSON.parse(kestrel.listImage(name));
      const cli = (...args) => runCli(args, folder);

      const list = cli('list', name);
      if (!listed.ok) {
        assert.strictEqual(list.status, 2, name);
        assert.ok(list.stderr.includes(`${name}: ${listed.failure}`), name + ': ' + list.stderr);
        continue;
      }
      const rows = listed.rows.map((row) => [...row.cells, row.slot].join('\t'));
      assert.strictEqual(lines(rows), latin1(list.stdout), name + ': list');
      assert.strictEqual(lines(listed.scan), latin1(cli('check', name).stdout), name + ': check');
      for (const finding of [...listed.notes, ...listed.findings])
        assert.ok(list.stderr.includes(`${name}: ${finding}`), name + ': ' + finding);
      if (listed.convertible) {
        // The plain image of a container, as kestrel-cli image writes it in the same layout.
        const answer = JSON.parse(kestrel.convertImage());
        const plain = path.join(folder, 'plain' + answer.extension);
        cli('image', name, '-o', plain, '--force');
        assert.deepStrictEqual(Buffer.from(kestrel.output()), fs.readFileSync(plain), name + ': image');
        ++converted;
      }
      if (listed.rows.length === 0) continue;

      for (const rewrite of [true, false]) {
        const made = JSON.parse(kestrel.makeTape('', rewrite, '/out/all.tap'));
        const tape = kestrel.output();
        const tapeName = rewrite ? 'all.tap' : 'plain.tap';
        const cliTape = path.join(folder, tapeName);
        const run = cli('tap', name, '-o', tapeName, ...(rewrite ? [] : ['--no-rewrite']));
        assert.strictEqual(lines(made.lines), latin1(run.stdout), `${name}: tap lines, rewrite ${rewrite}`);
        if (!made.ok) continue;
        assert.deepStrictEqual(Buffer.from(tape), fs.readFileSync(cliTape), `${name}: tape, rewrite ${rewrite}`);
        ++tapes;
        if (!rewrite) continue;
        // The tape back onto a new disc.
        kestrel.FS.chdir('/tapes');
        kestrel.FS.writeFile('all.tap', tape);
        const disc = JSON.parse(kestrel.makeDisc('all.tap', 'new.img'));
        kestrel.FS.unlink('all.tap');
        const cliDisc = cli('make', 'new.img', tapeName);
        assert.strictEqual(lines(disc.placed || []), latin1(cliDisc.stdout), name + ': make');
        if (disc.ok) assert.deepStrictEqual(Buffer.from(kestrel.output()), fs.readFileSync(path.join(folder, 'new.img')));
      }
      kestrel.FS.chdir('/disc');
      JSON.parse(kestrel.listImage(name));
      // Each answer with the bytes it left, taken before the next call replaces them.
      const made = (answer) => ({ok: JSON.parse(answer).ok, bytes: Buffer.from(kestrel.output())});
      for (const row of listed.rows) {
        const checks = [];
        if (row.export) checks.push([made(kestrel.exportFile(row.slot)), 'export', 'raw']);
        if (row.snapshot) {
          checks.push([made(kestrel.saveSnapshot(row.slot, 'z80')), 'snap', 'z80']);
          checks.push([made(kestrel.saveSnapshot(row.slot, 'sna')), 'snap', 'sna']);
        }
        for (const [answer, command, extension] of checks) {
          const out = path.join(folder, `slot${row.slot}.${extension}`);
          const run = cli(command, name, '--slot', String(row.slot), '-o', out);
          const written = fs.existsSync(out);
          assert.strictEqual(answer.ok, written, `${name} slot ${row.slot}: ${command} ${run.stderr}`);
          if (written) assert.deepStrictEqual(answer.bytes, fs.readFileSync(out), `${name} slot ${row.slot}: ${extension}`);
        }
      }
      }
      kestrel.FS.unlink(fileName);
    }
    assert.ok(archives > 0 && converted > 0, 'archives and containers were compared');

    // Packed files that list nothing, or list though their name says nothing: the module says what kestrel-cli
    // says. Cut short, packed past what a disc can be, and a gzipped image named without an extension.
    const packed = fs.readFileSync(images.find((entry) => entry.name === 'image.dsk.gz').file);
    const cases = [['cut.mgt.gz', packed.subarray(0, packed.length - 100)],
      ['huge.mgt.gz', zlib.gzipSync(Buffer.alloc(8 << 20))], ['noext.gz', packed]];
    for (const [name, bytes] of cases) {
      const folder = fs.mkdtempSync(path.join(work, 'packed-'));
      fs.writeFileSync(path.join(folder, name), bytes);
      kestrel.FS.writeFile('/disc/' + name, bytes);
      const listed = JSON.parse(kestrel.listImage(name));
      const list = runCli(['list', name], folder);
      assert.strictEqual(listed.ok, list.status === 0, name);
      if (listed.ok) assert.strictEqual(lines(listed.rows.map((row) => [...row.cells, row.slot].join('\t'))),
        latin1(list.stdout), name);
      else assert.ok(list.stderr.includes(`${name}: ${listed.failure}`), name + ': ' + list.stderr);
    }
  } finally {
    fs.rmSync(work, {recursive: true, force: true});
  }
  console.log(`compared ${tapes} tapes and ${converted} plain images of ${images.length} files`);
  assert.ok(tapes >= 20, 'tapes were compared');
});
