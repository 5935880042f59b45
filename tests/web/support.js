// What the web page's tests share: where the built page, the command line and the real images are, and the
// command line's answers to compare with.
'use strict';

const {spawn, spawnSync} = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const root = path.resolve(__dirname, '../..');
const site = path.resolve(root, process.env.KESTREL_WEB_SITE || 'build-web/site');
const cli = path.resolve(root, process.env.KESTREL_CLI || 'build/kestrel-cli');

// The real images (their gzipped copies and zip archives of them too) in the repository's folder and in the shared folder beside it, with
// their subfolders; an image of the same place in both is taken once, from the repository.
function realImages() {
  const folders = [path.join(root, 'tests/data/images'), path.join(root, '../shared/images'),
    '/work/shared/images'];
  const found = new Map();
  const walk = (top, relative) => {
    for (const entry of fs.readdirSync(path.join(top, relative), {withFileTypes: true})) {
      const place = path.join(relative, entry.name);
      if (entry.isDirectory() && relative === '') walk(top, place);
      else if (/\.(mgt|dsk|img|sad)(\.gz)?$|\.zip$/i.test(entry.name) && !found.has(place))
        found.set(place, {name: entry.name, file: path.join(top, place)});
    }
  };
  for (const folder of folders) {
    if (fs.existsSync(folder)) walk(folder, '');
  }
  return [...found.values()];
}

// kestrel-cli run in the image's folder on its bare name, as the page names it: stdout as bytes, and the exit code.
function runCli(args, cwd) {
  const run = spawnSync(cli, args, {cwd, maxBuffer: 64 << 20});
  return {stdout: run.stdout, stderr: run.stderr.toString('latin1'), status: run.status};
}

// The module, loaded as the page loads it.
async function loadModule() {
  const createKestrel = require(path.join(site, 'kestrel.js'));
  // Node's fetch does not read files: the module is handed its bytes.
  return createKestrel({wasmBinary: fs.readFileSync(path.join(site, 'kestrel.wasm'))});
}

// python3's http.server, as scripts/web serves the page, but on a free port of 127.0.0.1, over the built page.
async function serve() {
  const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', site],
    {stdio: ['ignore', 'pipe', 'ignore']});
  const port = await new Promise((resolve, reject) => {
    let seen = '';
    server.stdout.on('data', (chunk) => {
      seen += chunk;
      const match = /port (\d+)/.exec(seen);
      if (match) resolve(Number(match[1]));
    });
    server.on('exit', (code) => reject(new Error('http.server ended with ' + code)));
  });
  return {server, url: `http://127.0.0.1:${port}/`};
}

module.exports = {root, site, cli, realImages, runCli, loadModule, serve};
