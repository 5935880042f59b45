// kestrel-cli for node (build-web/npm/kestrel-cli.js) against the Linux kestrel-cli over every real image: the
// same output, the same files and the same exit code for the text commands, tapes, plain images, pictures, new
// discs and edits; and the npm package installs and runs.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const {spawnSync} = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {realImages, runCli, site} = require('./support');

const npmFolder = path.join(site, '..', 'npm');
const nodeCli = path.join(npmFolder, 'kestrel-cli.js');

function runNode(args, cwd) {
  const run = spawnSync(process.execPath, [nodeCli, ...args], {cwd, maxBuffer: 64 << 20});
  return {stdout: run.stdout, stderr: run.stderr.toString('latin1'), status: run.status};
}

// Runs one command with both programs, each in a folder of its own holding the same files, and compares what they
// print, the code they end with, and the files they leave.
function same(args, folders, label) {
  const [node, linux] = [runNode(args, folders[0]), runCli(args, folders[1])];
  assert.strictEqual(node.status, linux.status, `${label}: exit code (${node.stderr})`);
  assert.deepStrictEqual(node.stdout, linux.stdout, `${label}: stdout`);
  assert.strictEqual(node.stderr, linux.stderr, `${label}: stderr`);
  for (const name of fs.readdirSync(folders[1]))
    assert.deepStrictEqual(fs.readFileSync(path.join(folders[0], name)), fs.readFileSync(path.join(folders[1], name)),
      `${label}: ${name}`);
  return linux;
}

test('kestrel-cli under node answers as the Linux kestrel-cli', () => {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-node-'));
  const compared = new Set();
  try {
    for (const {name, file} of realImages()) {
      const folders = ['node', 'linux'].map((side) => fs.mkdtempSync(path.join(work, side + '-')));
      for (const folder of folders) fs.copyFileSync(file, path.join(folder, name));
      same(['list', name], folders, name + ' list');
      same(['check', name, '--json'], folders, name + ' check');
      const tap = same(['tap', name, '-o', 'all.tap'], folders, name + ' tap');
      if (tap.status === 0) {
        same(['make', 'new.img', 'all.tap'], folders, name + ' make');
        compared.add('make');
      }
      if (!/\.(mgt|img)$/.test(name)) {
        same(['image', name, '-o', 'plain.mgt'], folders, name + ' image');
        compared.add('image');
      }
      const rows = runCli(['list', name, '--json'], folders[1]);
      if (rows.status !== 0) continue;
      for (const row of JSON.parse(rows.stdout).images[0].files) {
        if (/screen/.test(row.type.key) && !compared.has(name + 'screen')) {
          same(['screen', name, '--slot', String(row.slot), '-o', 'screen.png'], folders, name + ' screen');
          compared.add(name + 'screen').add('screen');
        }
        if (/basic/.test(row.type.key) && !compared.has(name + 'basic')) {
          same(['basic', name, '--slot', String(row.slot)], folders, name + ' basic');
          compared.add(name + 'basic').add('basic');
        }
      }
      compared.add('list');
    }
    // The edits, one after another on one image of each side's own.
    const basicImage = realImages().find((entry) => entry.name === 'zx_basic_auto.mgt');
    const folders = ['node', 'linux'].map((side) => fs.mkdtempSync(path.join(work, side + '-')));
    for (const folder of folders) {
      fs.copyFileSync(basicImage.file, path.join(folder, 'disc.mgt'));
      fs.chmodSync(path.join(folder, 'disc.mgt'), 0o644);
      runCli(['tap', 'disc.mgt', '-o', 'all.tap'], folder);
    }
    for (const edit of [['add', 'disc.mgt', 'all.tap'], ['rename', 'disc.mgt', '--slot', '1', 'SECOND'],
      ['attr', 'disc.mgt', '--slot', '1', '+h'], ['rm', 'disc.mgt', '--slot', '0'], ['rm', 'disc.mgt', '--slot', '9'],
      ['disc', 'read', 'A', '-o', 'floppy.mgt']])
      same(edit, folders, edit.join(' '));
    compared.add('edits');
  } finally {
    fs.rmSync(work, {recursive: true, force: true});
  }
  for (const what of ['list', 'make', 'image', 'screen', 'basic', 'edits']) assert.ok(compared.has(what), what);
});

test('the npm package installs and its kestrel-cli runs', () => {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-npm-'));
  try {
    const packed = spawnSync('npm', ['pack', npmFolder, '--pack-destination', work, '--silent'], {cwd: work});
    assert.strictEqual(packed.status, 0, packed.stderr.toString());
    const tarball = path.join(work, packed.stdout.toString().trim().split('\n').pop());
    const installed = spawnSync('npm', ['install', '--global', '--prefix', path.join(work, 'prefix'), '--offline',
      '--no-audit', '--no-fund', tarball], {cwd: work});
    assert.strictEqual(installed.status, 0, installed.stderr.toString());
    const run = spawnSync(path.join(work, 'prefix', 'bin', 'kestrel-cli'), ['--version'], {cwd: work});
    assert.strictEqual(run.status, 0, run.stderr.toString());
    assert.strictEqual(run.stdout.toString(), runCli(['--version'], work).stdout.toString());
  } finally {
    fs.rmSync(work, {recursive: true, force: true});
  }
});
