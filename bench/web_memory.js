// The web module's memory and listing time over the real images, under node: the WebAssembly heap after listing
// 20 images one after another (each replacing the one before, as the page does), and the time each listing took.
// Run after scripts/web --build-only: node bench/web_memory.js
'use strict';

const path = require('node:path');
const fs = require('node:fs');
const support = require(path.join(__dirname, '../tests/web/support'));

async function main() {
  const kestrel = await support.loadModule();
  kestrel.FS.mkdir('/disc');
  kestrel.FS.chdir('/disc');
  const images = support.realImages().filter((entry) => /\.(mgt|img|dsk)$/i.test(entry.name)).slice(0, 20);
  const start = kestrel.HEAPU8.length;
  const times = [];
  for (const {name, file} of images) {
    kestrel.FS.writeFile(name, fs.readFileSync(file));
    const before = process.hrtime.bigint();
    JSON.parse(kestrel.listImage(name));
    times.push(Number(process.hrtime.bigint() - before) / 1e6);
    kestrel.FS.unlink(name);
  }
  times.sort((a, b) => a - b);
  const mib = (bytes) => (bytes / 1048576).toFixed(1) + ' MiB';
  console.log(`images listed: ${images.length}`);
  console.log(`wasm heap: ${mib(start)} at start, ${mib(kestrel.HEAPU8.length)} after`);
  console.log(`listing time: median ${times[times.length >> 1].toFixed(2)} ms, most ${times[times.length - 1].toFixed(2)} ms`);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
