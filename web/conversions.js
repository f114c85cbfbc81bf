// The conversions compiled from the program's sources, seen from the page: files in,
// files out, byte for byte what the command-line program writes.
import Hibarion from './hibarion.js';

const blockSamples = 65536;  // samples handed to the decoder at a time, as the program reads them
const shiftJis = new TextDecoder('shift_jis');

// Code page 932 text as a string (the browser's Shift_JIS is code page 932).
export function fromCp932(bytes) { return shiftJis.decode(bytes); }

export class Conversions {
  static async load() {
    const conversions = new Conversions();
    conversions.module = await Hibarion({
      onMessage: (text, name) => conversions.messages.push({ text: fromCp932(text), name }),
    });
    conversions.block = conversions.module._malloc(blockSamples * 4);
    return conversions;
  }

  constructor() {
    this.messages = [];
    this.runs = 0;
  }

  // The messages given since the last call, each "%s" replaced by its name without the
  // page's own folder.
  takeMessages(folder) {
    const taken = this.messages.map(({ text, name }) =>
      name === null ? text : text.replace('%s', name.startsWith(folder) ? name.slice(folder.length) : name));
    this.messages = [];
    return taken;
  }

  setSettings(s) {
    this.module._setSettings(s.firstToneSeconds, s.inputRatio, s.outputRatio, s.outputSlowness,
                             s.basicListing ? 1 : 0);
  }

  withString(text, use) {
    const m = this.module;
    const size = m.lengthBytesUTF8(text) + 1;
    const at = m._malloc(size);
    m.stringToUTF8(text, at, size);
    try { return use(at); } finally { m._free(at); }
  }

  withBytes(bytes, use) {
    const at = this.module._malloc(Math.max(bytes.length, 1));
    this.module.HEAPU8.set(bytes, at);
    try { return use(at); } finally { this.module._free(at); }
  }

  // Runs `work` in a folder of its own holding the file `name`; gives every other file
  // the run left there, and the messages.
  inFolder(name, bytes, work) {
    const fs = this.module.FS;
    const folder = `/run${++this.runs}/`;
    fs.mkdir(folder);
    fs.writeFile(folder + name, bytes);
    work(folder + name);
    const outputs = [];
    for (const entry of fs.readdir(folder)) {
      if (entry === '.' || entry === '..') continue;
      if (entry !== name) outputs.push({ name: entry, bytes: fs.readFile(folder + entry) });
      fs.unlink(folder + entry);
    }
    fs.rmdir(folder);
    return { outputs, messages: this.takeMessages(folder) };
  }

  // A tape image (NAME.p6) or an 8-bit mono recording (NAME.wav), handled as the
  // program handles a dropped file.
  convertFile(name, bytes) {
    return this.inFolder(name, bytes, (path) => this.withString(path, (at) => this.module._convertFile(at)));
  }

  // The character table of a settings file; false, with the messages, when it is not one.
  loadCharacterTable(bytes) {
    let loaded = false;
    const { messages } = this.inFolder('Hibarion.ini', bytes,
      (path) => { loaded = this.withString(path, (at) => this.module._loadCharacterTable(at)); });
    return { loaded, messages };
  }

  get characterTable() { return this.module.HEAPU8.slice(this.characterTableAt(), this.characterTableAt() + 512); }
  set characterTable(bytes) { this.module.HEAPU8.set(bytes.subarray(0, 512), this.characterTableAt()); }
  characterTableAt() { return this.module._characterTable(); }

  // A program's text as --tokenize reads a file: { bytes } or { problem }.
  tokenize(bytes, fileStem, givenName) {
    const m = this.module;
    const ok = this.withBytes(bytes, (text) => this.withString(fileStem, (stem) =>
      givenName === null ? m._tokenize(text, bytes.length, stem, 0)
                         : this.withString(givenName, (name) => m._tokenize(text, bytes.length, stem, name))));
    if (!ok) return { problem: m.UTF8ToString(m._tokenizedProblem()) };
    const at = m._tokenizedBytes();
    return { bytes: m.HEAPU8.slice(at, at + m._tokenizedCount()) };
  }

  // The 0-based channel that carries the tape signal best, chosen as the program chooses.
  bestChannel(channels, sampleRate) {
    const m = this.module;
    const meter = m._startMeter(channels.length, sampleRate);
    const frames = Math.floor(blockSamples / channels.length);
    const length = channels[0].length;
    for (let start = 0; start < length; start += frames) {
      const count = Math.min(frames, length - start);
      const heap = m.HEAPF32;
      let at = this.block >> 2;
      for (let f = start; f < start + count; ++f)
        for (const channel of channels) heap[at++] = channel[f];
      m._feedMeter(meter, this.block, count);
    }
    return m._finishMeter(meter);
  }

  // A stream of samples through the robust decoder.
  startDecoder(sampleRate) { return new StreamDecoder(this, sampleRate); }

  // Why the decoder refuses recordings at `sampleRate`, as the command line says it; null
  // when it takes them.
  rateProblem(sampleRate) {
    const [lowest, highest] = [this.module._lowestRate(), this.module._highestRate()];
    return sampleRate >= lowest && sampleRate <= highest ? null
      : `its sample rate ${sampleRate} lies outside ${lowest} to ${highest}`;
  }

  // Whole channels, the best one decoded: { bytes, suspects, channel }.
  decodeChannels(channels, sampleRate) {
    const channel = channels.length > 1 ? this.bestChannel(channels, sampleRate) : 0;
    const decoder = this.startDecoder(sampleRate);
    decoder.feed(channels[channel]);
    return { ...decoder.finish(), channel };
  }
}

class StreamDecoder {
  constructor(conversions, sampleRate) {
    this.conversions = conversions;
    this.decoder = conversions.module._startDecoder(sampleRate);
  }

  feed(samples) {
    const { module: m, block } = this.conversions;
    for (let start = 0; start < samples.length; start += blockSamples) {
      const part = samples.subarray(start, Math.min(start + blockSamples, samples.length));
      m.HEAPF32.set(part, block >> 2);
      m._feedDecoder(this.decoder, block, part.length);
    }
  }

  get byteCount() { return this.conversions.module._decodedCount(this.decoder); }

  bytesSoFar() {
    const m = this.conversions.module;
    const at = m._decodedBytes(this.decoder);
    return m.HEAPU8.slice(at, at + this.byteCount);
  }

  // The bytes, the suspect ranges { firstByte, lastByte, seconds, reason }, the same as
  // damaged stretches { firstByte, lastByte, suspectBytes, ranges, seconds, reasons }
  // (reasons as the keys of the page's texts), the
  // losses { bytesBefore, missingBytes, seconds, duration } and the bytes the program's
  // structure repaired; the decoder ends.
  finish() {
    const m = this.conversions.module;
    const d = this.decoder;
    m._finishDecoder(d);
    const at = m._decodedBytes(d);
    const bytes = m.HEAPU8.slice(at, at + m._decodedCount(d));
    const suspects = [];
    const numbers = m._malloc(5 * 8);
    for (let k = 0; k < m._suspectCount(d); ++k) {
      const reason = m.UTF8ToString(m._suspect(d, k, numbers));
      const [firstByte, lastByte, seconds] = m.HEAPF64.subarray(numbers >> 3, (numbers >> 3) + 3);
      suspects.push({ firstByte, lastByte, seconds, reason });
    }
    const stretches = [];
    for (let k = 0; k < m._stretchCount(d); ++k) {
      const reasons = m.UTF8ToString(m._stretch(d, k, numbers)).split(',');
      const [firstByte, lastByte, suspectBytes, ranges, seconds] =
        m.HEAPF64.subarray(numbers >> 3, (numbers >> 3) + 5);
      stretches.push({ firstByte, lastByte, suspectBytes, ranges, seconds, reasons });
    }
    const losses = [];
    for (let k = 0; k < m._lossCount(d); ++k) {
      m._loss(d, k, numbers);
      const [bytesBefore, missingBytes, seconds, duration] = m.HEAPF64.subarray(numbers >> 3, (numbers >> 3) + 4);
      losses.push({ bytesBefore, missingBytes, seconds, duration });
    }
    m._free(numbers);
    const repaired = [];
    for (let byte; (byte = m._repairedByte(d, repaired.length)) >= 0;) repaired.push(byte);
    m._endDecoder(d);
    return { bytes, suspects, stretches, losses, repaired };
  }
}
