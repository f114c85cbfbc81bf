// Recordings as samples for the robust decoder. WAV files are read here as libsndfile
// reads them for the command-line program, so that both hand the decoder the same
// floats; any other file the browser decodes, at the file's own rate where it can tell.

// Chromium's range of sample rates for an audio context.
const lowestContextRate = 3000;
const highestContextRate = 768000;
const waveFormatPcm = 1;
const waveFormatFloat = 3;
const waveFormatExtensible = 0xFFFE;

function tag(view, at) {
  return String.fromCharCode(view.getUint8(at), view.getUint8(at + 1), view.getUint8(at + 2), view.getUint8(at + 3));
}

// The chunks of a RIFF WAVE file: { fmt, data } as { at, size }, or null.
function waveChunks(view) {
  if (view.byteLength < 12 || tag(view, 0) !== 'RIFF' || tag(view, 8) !== 'WAVE') return null;
  const chunks = {};
  for (let at = 12; at + 8 <= view.byteLength;) {
    const size = view.getUint32(at + 4, true);
    const name = tag(view, at).trim();
    chunks[name] = { at: at + 8, size: Math.min(size, view.byteLength - at - 8) };
    if (name === 'data') break;
    at += 8 + size + (size & 1);
  }
  return chunks.fmt && chunks.data && chunks.fmt.size >= 16 ? chunks : null;
}

// One sample as a float, as libsndfile normalises it: integers scaled by a power of two.
function sampleReader(view, format, bits) {
  if (format === waveFormatFloat && bits === 32) return (at) => view.getFloat32(at, true);
  if (format === waveFormatFloat && bits === 64) return (at) => Math.fround(view.getFloat64(at, true));
  if (format !== waveFormatPcm) return null;
  switch (bits) {
    case 8: return (at) => (view.getUint8(at) - 128) / 0x80;
    case 16: return (at) => view.getInt16(at, true) / 0x8000;
    case 24: return (at) => ((view.getUint8(at) | view.getUint8(at + 1) << 8 | view.getInt8(at + 2) << 16)) / 0x800000;
    case 32: return (at) => Math.fround(view.getInt32(at, true)) / 0x80000000;
    default: return null;
  }
}

// A PCM or float WAV file as { sampleRate, channels }, or null for any other file.
function readWave(buffer) {
  const view = new DataView(buffer);
  const chunks = waveChunks(view);
  if (!chunks) return null;
  const fmt = chunks.fmt.at;
  let format = view.getUint16(fmt, true);
  const channelCount = view.getUint16(fmt + 2, true);
  const sampleRate = view.getUint32(fmt + 4, true);
  const blockAlign = view.getUint16(fmt + 12, true);
  const bits = view.getUint16(fmt + 14, true);
  if (format === waveFormatExtensible && chunks.fmt.size >= 40) format = view.getUint16(fmt + 24, true);
  const read = sampleReader(view, format, bits);
  const bytesPerSample = Math.ceil(bits / 8);
  if (!read || channelCount === 0 || blockAlign < channelCount * bytesPerSample) return null;
  const frames = Math.floor(chunks.data.size / blockAlign);
  const start = chunks.data.at;
  const channels = [];
  for (let c = 0; c < channelCount; ++c) {
    const samples = new Float32Array(frames);
    if (format === waveFormatPcm && bits === 8) {
      // The two common layouts straight from typed arrays, the same values, far faster.
      const bytes = new Uint8Array(buffer, start, frames * blockAlign);
      for (let f = 0, at = c; f < frames; ++f, at += blockAlign) samples[f] = (bytes[at] - 128) / 0x80;
    } else if (format === waveFormatPcm && bits === 16 && start % 2 === 0 && blockAlign % 2 === 0) {
      const words = new Int16Array(buffer, start, frames * blockAlign / 2);
      const stride = blockAlign / 2;
      for (let f = 0, at = c; f < frames; ++f, at += stride) samples[f] = words[at] / 0x8000;
    } else {
      for (let f = 0, at = start + c * bytesPerSample; f < frames; ++f, at += blockAlign) samples[f] = read(at);
    }
    channels.push(samples);
  }
  return { sampleRate, channels };
}

// The sample rate a FLAC file's stream information gives, or null.
function flacRate(view) {
  if (view.byteLength < 21 || tag(view, 0) !== 'fLaC') return null;
  return view.getUint8(18) << 12 | view.getUint8(19) << 4 | view.getUint8(20) >> 4;
}

// The sample rate of an Ogg file's first stream: Vorbis says it, Opus always decodes at
// 48000 Hz; null for anything else.
function oggRate(view) {
  if (view.byteLength < 28 || tag(view, 0) !== 'OggS') return null;
  const packet = 27 + view.getUint8(26);
  if (view.byteLength < packet + 16) return null;
  if (view.getUint8(packet) === 1 && tag(view, packet + 1) === 'vorb') return view.getUint32(packet + 12, true);
  return tag(view, packet) === 'Opus' ? 48000 : null;
}

// The sample rate of an MP3 file's first frame, after any ID3v2 tag; null when the file
// does not start so.
function mp3Rate(view) {
  let at = 0;
  if (view.byteLength >= 10 && tag(view, 0).startsWith('ID3')) {
    let size = 0;
    for (let k = 6; k < 10; ++k) size = size << 7 | (view.getUint8(k) & 0x7F);
    at = 10 + size + (view.getUint8(5) & 0x10 ? 10 : 0);
  }
  if (view.byteLength < at + 3 || view.getUint8(at) !== 0xFF || (view.getUint8(at + 1) & 0xE0) !== 0xE0) return null;
  const version = view.getUint8(at + 1) >> 3 & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  const index = view.getUint8(at + 2) >> 2 & 3;
  if (version === 1 || index === 3) return null;
  return [44100, 48000, 32000][index] / (version === 3 ? 1 : version === 2 ? 2 : 4);
}

// Samples of any recording file: { sampleRate, channels: [Float32Array, ...] }. The
// browser resamples what it decodes to the rate it is given: the file's own where it is
// known and the browser takes it.
export async function readRecording(buffer) {
  const wave = readWave(buffer);
  if (wave) return wave;
  const view = new DataView(buffer);
  const rate = flacRate(view) || oggRate(view) || mp3Rate(view);
  const usable = rate && rate >= lowestContextRate && rate <= highestContextRate;
  const context = new OfflineAudioContext(1, 1, usable ? rate : 44100);
  const audio = await context.decodeAudioData(buffer.slice(0));
  const channels = [];
  for (let c = 0; c < audio.numberOfChannels; ++c) channels.push(audio.getChannelData(c));
  return { sampleRate: audio.sampleRate, channels };
}

// The smallest and largest sample of each run of `run` samples: the picture's outline.
export class Outline {
  constructor(sampleRate, run = 256) {
    this.sampleRate = sampleRate;
    this.run = run;
    this.lows = [];
    this.highs = [];
    this.left = 0;
  }

  add(samples) {
    for (let k = 0; k < samples.length;) {
      if (this.left === 0) {
        this.lows.push(samples[k]);
        this.highs.push(samples[k]);
        this.left = this.run;
      }
      const last = this.lows.length - 1;
      let low = this.lows[last], high = this.highs[last];
      const end = Math.min(samples.length, k + this.left);
      this.left -= end - k;
      for (; k < end; ++k) {
        const value = samples[k];
        if (value < low) low = value;
        if (value > high) high = value;
      }
      this.lows[last] = low;
      this.highs[last] = high;
    }
  }

  get seconds() { return this.lows.length * this.run / this.sampleRate; }
}

// The peak of `samples` in dBFS.
export function peakDecibels(samples) {
  let most = 0;
  for (let k = 0; k < samples.length; ++k) {
    const magnitude = Math.abs(samples[k]);
    if (magnitude > most) most = magnitude;
  }
  return most > 0 ? 20 * Math.log10(most) : -Infinity;
}

// The tape's speed from its leader and gaps: the 2400 Hz tone's frequency measured over
// short windows where it sounds alone, steady from wave to wave, against 2400 Hz.
const speedWindowSeconds = 0.05;
const steadiness = 1.2;      // a window's longest wave at most this times its shortest
const slowestSpeed = 0.8;    // the speeds the decoder follows
const fastestSpeed = 1.25;
const hysteresis = 0.25;     // of the last window's peak: noise's crossings are no waves
const leastWindows = 5;

export class SpeedMeter {
  constructor(sampleRate) {
    this.sampleRate = sampleRate;
    this.window = Math.max(1, Math.round(speedWindowSeconds * sampleRate));
    this.speeds = [];
    this.threshold = 0;
    this.high = false;
    this.previous = 0;
    this.rising = 0;  // where the signal last rose through zero, between two samples
    this.at = 0;      // samples so far
    this.startWindow();
  }

  startWindow() {
    this.left = this.window;
    this.peak = 0;
    this.first = -1;  // the window's first and last wave start
    this.last = -1;
    this.waves = 0;
    this.shortest = Infinity;
    this.longest = 0;
  }

  add(samples) {
    for (let k = 0; k < samples.length; ++k, ++this.at) {
      const value = samples[k];
      const magnitude = Math.abs(value);
      if (magnitude > this.peak) this.peak = magnitude;
      if (this.previous <= 0 && value > 0) this.rising = this.at - value / (value - this.previous);
      this.previous = value;
      if (this.high && value < -this.threshold) {
        this.high = false;
      } else if (!this.high && value > this.threshold) {
        // A wave starts where the signal rose through zero before it passed the threshold.
        this.high = true;
        if (this.last >= 0) {
          const wave = this.rising - this.last;
          if (wave < this.shortest) this.shortest = wave;
          if (wave > this.longest) this.longest = wave;
          ++this.waves;
        } else {
          this.first = this.rising;
        }
        this.last = this.rising;
      }
      if (--this.left === 0) this.endWindow();
    }
  }

  endWindow() {
    if (this.waves > 0 && this.longest <= steadiness * this.shortest) {
      const speed = this.sampleRate * this.waves / (this.last - this.first) / 2400;
      if (speed >= slowestSpeed && speed <= fastestSpeed) this.speeds.push(speed);
    }
    this.threshold = hysteresis * this.peak;
    this.startWindow();
  }

  // The median speed (1 is normal), or null when too little of the tone sounded alone.
  get speed() {
    if (this.speeds.length < leastWindows) return null;
    const sorted = [...this.speeds].sort((a, b) => a - b);
    return sorted[sorted.length >> 1];
  }
}
