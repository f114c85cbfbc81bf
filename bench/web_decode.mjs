// The web page's robust decoder on a 10-minute 44100 Hz recording, in headless Chromium,
// beside the command-line program's --robust on the same file. The goal: under 2 s.
//
//   node bench/web_decode.mjs PAGE_FOLDER HIBARION SCRATCH
// (after tests/web/run-web-tests.sh has built both and installed puppeteer-core)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { launch, offer, openPage, serve } from '../tests/web/browser.mjs';

const [pageFolder, hibarion, scratch] = process.argv.slice(2, 5).map((p) => path.resolve(p));
const recordingSeconds = 600;
const bytesPerSecond = 99;  // as the encoder writes them at 1200 bits a second, gaps included
const runs = 3;

// A tape image of pseudo-random bytes long enough for ten minutes, and its recording.
fs.rmSync(scratch, { recursive: true, force: true });
fs.mkdirSync(scratch, { recursive: true });
const image = Buffer.alloc(Math.round(recordingSeconds * bytesPerSecond));
for (let k = 0, state = 1; k < image.length; ++k) {
  state = (state * 1103515245 + 12345) >>> 0;
  image[k] = state >>> 24;
}
fs.writeFileSync(path.join(scratch, 'long.p6'), image);
execFileSync(hibarion, ['--settings', path.join(scratch, 'bench.ini'), '--rate', '44100', '--no-listing', 'long.p6'],
             { cwd: scratch, stdio: 'pipe' });
const recording = path.join(scratch, 'long_.wav');
const seconds = (fs.statSync(recording).size - 44) / 44100;

function nativeSeconds() {
  const started = process.hrtime.bigint();
  execFileSync(hibarion, ['--settings', path.join(scratch, 'bench.ini'), '--robust', 'long_.wav'],
               { cwd: scratch, stdio: 'pipe' });
  return Number(process.hrtime.bigint() - started) / 1e9;
}

const server = await serve(pageFolder);
const browser = await launch();
try {
  const problems = [];
  const page = await openPage(browser, server.origin, problems);
  const best = { read: Infinity, decode: Infinity, total: Infinity, native: Infinity };
  for (let run = 0; run < runs; ++run) {
    await offer(page, recording);
    const [read, decode, total] = await page.$eval('#results > .result:first-child', (card) =>
      [card.dataset.readMilliseconds, card.dataset.decodeMilliseconds, card.dataset.totalMilliseconds].map(Number));
    best.read = Math.min(best.read, read / 1000);
    best.decode = Math.min(best.decode, decode / 1000);
    best.total = Math.min(best.total, total / 1000);
    best.native = Math.min(best.native, nativeSeconds());
  }
  const decoded = fs.readFileSync(path.join(scratch, 'long_.P6'));
  console.log(`recording: ${(seconds / 60).toFixed(1)} minutes at 44100 Hz, 8-bit mono`);
  console.log(`page, file to samples:   ${best.read.toFixed(2)} s`);
  console.log(`page, samples to bytes:  ${best.decode.toFixed(2)} s (goal: the whole under 2 s)`);
  console.log(`page, file to bytes:     ${(best.read + best.decode).toFixed(2)} s`);
  console.log(`page, file to everything shown (picture, listing, recording): ${best.total.toFixed(2)} s`);
  console.log(`hibarion --robust, whole process: ${best.native.toFixed(2)} s`);
  console.log(`decoded ${decoded.length} of ${image.length} bytes; best of ${runs} runs`);
  for (const problem of problems) console.log(problem);
} finally {
  await browser.close();
  server.stop();
}
