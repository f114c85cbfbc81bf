// The page: files in by choice or drop, their outputs offered for download, the tape
// seen, played and recorded, the settings kept in the browser.
import { Capture } from './capture.js';
import { Conversions, fromCp932 } from './conversions.js';
import { drawTape, recordingTime } from './picture.js';
import { Outline, SpeedMeter, peakDecibels, readRecording } from './recording.js';
import { chooseLanguage, defaultLanguage, say } from './texts.js';

const defaultSettings = {
  firstToneSeconds: 2.0, inputRatio: 1.32, outputRatio: 1.32, slow: false, basicListing: true,
};
const slowness = 16.0;         // the dialog's slow output: bit cells 16 times as long
const tooLowDecibels = -30;    // below this peak the decoder starts to lose bytes in noise
const clippingDecibels = -0.1; // at full scale the tones' shape is lost
const levelInterval = 200;     // milliseconds between updates of the live level
const nameOffset = 10;         // the name on tape: 6 bytes after the header's ten
const nameLength = 6;
const characterTableSize = 512;  // 256 entries of two bytes

const $ = (id) => document.getElementById(id);
const conversions = await Conversions.load();
const tip = $('tip');

// Settings -----------------------------------------------------------------------------

function storedSettings() {
  try {
    return { ...defaultSettings, ...JSON.parse(localStorage.getItem('hibarion.settings') || '{}') };
  } catch {
    return { ...defaultSettings };
  }
}

let settings = storedSettings();

function applySettings() {
  conversions.setSettings({ ...settings, outputSlowness: settings.slow ? slowness : 1.0 });
  try {
    const table = Uint8Array.from(atob(settings.characterTable || ''), (c) => c.charCodeAt(0));
    if (table.length === characterTableSize) conversions.characterTable = table;
  } catch {
    delete settings.characterTable;  // not what this page stored: the table stays as it is
  }
}

function showSettings() {
  const form = $('settings-form');
  for (const key of ['firstToneSeconds', 'inputRatio', 'outputRatio']) form.elements[key].value = settings[key];
  form.elements.slow.checked = settings.slow;
  form.elements.basicListing.checked = settings.basicListing;
}

// Read leniently as the dialog reads its boxes: what is no number is 0.
function number(text) {
  const value = parseFloat(text);
  return Number.isFinite(value) ? value : 0;
}

function keepSettings() {
  const form = $('settings-form');
  settings = {
    ...settings,
    firstToneSeconds: number(form.elements.firstToneSeconds.value),
    inputRatio: number(form.elements.inputRatio.value),
    outputRatio: number(form.elements.outputRatio.value),
    slow: form.elements.slow.checked,
    basicListing: form.elements.basicListing.checked,
  };
  localStorage.setItem('hibarion.settings', JSON.stringify(settings));
  applySettings();
}

async function loadIni(file) {
  const { loaded, messages } = conversions.loadCharacterTable(new Uint8Array(await file.arrayBuffer()));
  if (loaded) {
    settings.characterTable = btoa(String.fromCharCode(...conversions.characterTable));
    localStorage.setItem('hibarion.settings', JSON.stringify(settings));
  }
  $('settings-message').textContent = loaded ? say('iniLoaded') : messages.join('\n');
}

// Results -------------------------------------------------------------------------------

function element(tag, properties = {}, parent = null) {
  const made = Object.assign(document.createElement(tag), properties);
  if (parent) parent.append(made);
  return made;
}

function addCard(title, parent = $('results')) {
  const card = element('div', { className: 'result' });
  element('h3', { textContent: title }, card);
  parent.prepend(card);
  return card;
}

function addMessages(card, messages) {
  for (const text of messages) element('p', { className: 'message', textContent: text }, card);
}

const types = { wav: 'audio/wav', txt: 'text/plain', p6: 'application/octet-stream' };

function addLink(card, name, bytes) {
  const type = types[name.split('.').pop().toLowerCase()] || 'application/octet-stream';
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  return element('a', { href: url, download: name, textContent: name }, card);
}

// The length of an 8-bit mono recording the encoder wrote, from its header.
function recordingSeconds(wav) {
  const view = new DataView(wav.buffer, wav.byteOffset, wav.byteLength);
  return view.getUint32(40, true) / view.getUint32(24, true);
}

function addPlayer(card, wav) {
  const line = element('p', {}, card);
  const audio = new Audio(URL.createObjectURL(new Blob([wav], { type: 'audio/wav' })));
  const play = element('button', { textContent: say('play'), className: 'play' }, line);
  const stop = element('button', { textContent: say('stop'), className: 'stop', disabled: true }, line);
  const where = element('span', { className: 'report' }, line);
  const length = recordingTime(recordingSeconds(wav));
  const show = () => { where.textContent = ` ${recordingTime(audio.currentTime)} / ${length}`; };
  show();
  const rewind = () => { audio.currentTime = 0; play.disabled = false; stop.disabled = true; show(); };
  play.onclick = () => {
    audio.currentTime = 0;
    play.disabled = true;
    stop.disabled = false;
    audio.play().catch((error) => {
      addMessages(card, [error.message]);
      rewind();
    });
  };
  // The pause event comes later, after a tick of the clock may have moved the time shown.
  stop.onclick = () => { audio.pause(); rewind(); };
  audio.onpause = rewind;
  audio.onended = rewind;
  audio.ontimeupdate = show;
}

function stemOf(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

function addTokenizer(card, listingName, listing) {
  const text = element('textarea', { className: 'listing', value: listing, spellcheck: false }, card);
  const line = element('p', {}, card);
  const label = element('label', { textContent: `${say('nameOnTape')} ` }, line);
  const given = element('input', { size: 8 }, label);
  const make = element('button', { textContent: say('makeImage') }, line);
  const outputs = element('div', {}, card);
  make.onclick = () => {
    outputs.replaceChildren();
    const bytes = new TextEncoder().encode(text.value);
    tokenizeInto(outputs, listingName, bytes, given.value === '' ? null : given.value);
  };
}

function tokenizeInto(card, name, bytes, givenName) {
  const result = conversions.tokenize(bytes, stemOf(name), givenName);
  if (result.problem) addMessages(card, [`${name}: ${result.problem}`]);
  else addLink(card, `${stemOf(name)}.p6`, result.bytes);
}

// A tape image: its recording to download and play, its listing to read and edit.
function showTapeImage(card, name, bytes) {
  const { outputs, messages } = conversions.convertFile(name, bytes);
  addMessages(card, messages);
  const links = element('p', {}, card);
  for (const output of outputs) addLink(links, output.name, output.bytes);
  const wav = outputs.find((o) => /_\.wav$/.test(o.name));
  if (wav) addPlayer(card, wav.bytes);
  const listing = outputs.find((o) => /\.txt$/.test(o.name));
  if (listing) addTokenizer(card, listing.name, fromCp932(listing.bytes));
}

// The image name of a recording, as the command-line program's --robust names it.
function imageNameFor(name) {
  const ending = /\.(wav|w64|rf64|flac|aif|aiff)$/i.exec(name);
  return `${ending ? name.slice(0, ending.index) : stemOf(name)}.P6`;
}

function report(imageName, result, extra) {
  const suspect = result.suspects.reduce((sum, s) => sum + s.lastByte - s.firstByte + 1, 0);
  const missing = (result.losses || []).reduce((sum, l) => sum + l.missingBytes, 0);
  const peak = `${extra.peak.toFixed(1)} dBFS`;
  return `${imageName} (${say('report', { bytes: result.bytes.length, suspect, missing, peak, channelText: extra.channelText })})`;
}

// The suspect ranges and the losses, in the order of the recording; a loss stands at
// the last byte heard before it.
function doubts(result) {
  const losses = (result.losses || []).map((l) => {
    const byte = Math.max(l.bytesBefore - 1, 0);
    return { firstByte: byte, lastByte: byte, seconds: l.seconds, reason: say('lost', l) };
  });
  const suspects = result.suspects.map((s) => ({ ...s, reason: say('reasons', [s.reason]) }));
  return [...suspects, ...losses].sort((a, b) => a.seconds - b.seconds);
}

// The damaged stretches and the losses, a line each, in the order of the recording.
function suspectLines(result) {
  const repairs = (result.repaired || []).map((byte) => say('repaired', byte));
  const stretches = (result.stretches || []).map((s) => ({
    seconds: s.seconds,
    text: `${s.ranges > 1 ? say('stretchWord', s) : say('byteWord', s.firstByte, s.lastByte)}: ` +
      `${recordingTime(s.seconds)} (${say('reasons', s.reasons)})`,
  }));
  const losses = doubts({ suspects: [], losses: result.losses }).map((l) => ({
    seconds: l.seconds,
    text: `${say('byteWord', l.firstByte, l.lastByte)}: ${recordingTime(l.seconds)} (${l.reason})`,
  }));
  return repairs.concat([...stretches, ...losses].sort((a, b) => a.seconds - b.seconds).map((l) => l.text));
}

function showDecoding(card, imageName, result, outline, extra) {
  const speed = extra.speed === null ? '' : say('speed', extra.speed);
  if (!result.bytes.length) {
    addMessages(card, [say('noSignal')]);
  } else {
    element('p', { className: 'report', textContent: `${report(imageName, result, extra)} ${speed}` }, card);
    addLink(element('p', {}, card), imageName, result.bytes);
  }
  drawTape(element('canvas', { className: 'tape' }, card), outline, doubts(result), tip, speed);
  addMessages(card, suspectLines(result));
  if (result.bytes.length) showTapeImage(card, imageName, result.bytes);
}

async function decodeRobustly(card, name, buffer) {
  let recording;
  const reading = performance.now();
  try {
    recording = await readRecording(buffer);
  } catch {
    addMessages(card, [`${name}: ${say('notRead')}`]);
    return;
  }
  card.dataset.sampleRate = String(recording.sampleRate);
  const refused = conversions.rateProblem(recording.sampleRate);
  if (refused) {
    addMessages(card, [`${name}: ${refused}`]);
    return;
  }
  // How long the file took to become samples and the samples bytes, for the benchmark.
  const decoding = performance.now();
  card.dataset.readMilliseconds = String(decoding - reading);
  const result = conversions.decodeChannels(recording.channels, recording.sampleRate);
  card.dataset.decodeMilliseconds = String(performance.now() - decoding);
  const samples = recording.channels[result.channel];
  const outline = new Outline(recording.sampleRate);
  outline.add(samples);
  const speedMeter = new SpeedMeter(recording.sampleRate);
  speedMeter.add(samples);
  const count = recording.channels.length;
  showDecoding(card, imageNameFor(name), result, outline, {
    peak: peakDecibels(samples), speed: speedMeter.speed,
    channelText: count > 1 ? say('channel', result.channel + 1, count) : '',
  });
}

async function handleFile(file) {
  const started = performance.now();
  const name = file.name;
  const card = addCard(name);
  const buffer = await file.arrayBuffer();
  const bytes = new Uint8Array(buffer);
  const exact = document.querySelector('input[name=path]:checked').value === 'exact';
  if (/\.[pP]6$/.test(name)) {
    showTapeImage(card, name, bytes);
  } else if (/\.ini$/i.test(name)) {
    card.remove();
    await loadIni(file);
  } else if (/\.(txt|bas)$/i.test(name)) {
    tokenizeInto(card, name, bytes, null);
  } else if (exact && /\.wav$/i.test(name)) {
    const { outputs, messages } = conversions.convertFile(name, bytes);
    addMessages(card, messages);
    const links = element('p', {}, card);
    for (const output of outputs) addLink(links, output.name, output.bytes);
    for (const output of outputs) showTapeImage(card, output.name, output.bytes);
  } else {
    await decodeRobustly(card, name, buffer);
  }
  card.dataset.totalMilliseconds = String(performance.now() - started);
  card.classList.add('done');
}

async function handleFiles(files) {
  for (const file of files) await handleFile(file);
}

// Recording -------------------------------------------------------------------------------

let take = null;

function nameOnTape(bytes) {
  if (bytes.length < nameOffset + nameLength) return '';
  const name = String.fromCharCode(...bytes.subarray(nameOffset, nameOffset + nameLength));
  return name.replace(/[^\x21-\x7E]/g, ' ').trim().replace(/ /g, '_');
}

function showLevel() {
  const decibels = take.windowPeak > 0 ? 20 * Math.log10(take.windowPeak) : -Infinity;
  take.peak = Math.max(take.peak, take.windowPeak);
  take.windowPeak = 0;
  $('level').value = Math.max(decibels, -60);
  const state = decibels >= clippingDecibels ? 'clipping' : decibels < tooLowDecibels ? 'tooLow' : 'levelOk';
  const text = $('level-text');
  text.textContent = `${Number.isFinite(decibels) ? decibels.toFixed(1) : '-∞'} dBFS ${say(state)}`;
  text.className = state === 'clipping' ? 'level-clip' : state === 'tooLow' ? 'level-low' : '';
  if (!take.decoder) return;
  const count = take.decoder.byteCount;
  $('record-bytes').textContent = say('bytesSoFar', count);
  $('record').dataset.capturedSeconds = String(take.samples / take.sampleRate);
  const speed = take.speedMeter.speed;
  drawTape($('record-tape'), take.outline, [], tip, speed === null ? '' : say('speed', speed));
  if (!take.name && count >= nameOffset + nameLength) {
    take.name = nameOnTape(take.decoder.bytesSoFar());
    if (!$('record-name').value) $('record-name').placeholder = take.name;
  }
}

async function startRecording() {
  $('record-start').disabled = true;
  try {
    take = { samples: 0, windowPeak: 0, peak: 0, name: '' };
    $('record').dataset.capturedSeconds = '0';
    $('record-bytes').textContent = '';
    $('record-name').placeholder = 'NAME';
    take.capture = await Capture.start((samples, sampleRate) => {
      if (!take.decoder) {
        take.sampleRate = sampleRate;
        take.decoder = conversions.startDecoder(sampleRate);
        take.outline = new Outline(sampleRate);
        take.speedMeter = new SpeedMeter(sampleRate);
      }
      take.decoder.feed(samples);
      take.outline.add(samples);
      take.speedMeter.add(samples);
      take.samples += samples.length;
      for (const value of samples) take.windowPeak = Math.max(take.windowPeak, Math.abs(value));
    });
    take.timer = setInterval(showLevel, levelInterval);
    $('record-tape').hidden = false;
    $('record-stop').disabled = false;
  } catch (error) {
    take = null;
    $('record-start').disabled = false;
    $('record-result').replaceChildren();
    addMessages($('record-result'), [say('noMicrophone', error.message)]);
  }
}

async function stopRecording() {
  $('record-stop').disabled = true;
  clearInterval(take.timer);
  await take.capture.stop();
  $('record-tape').hidden = true;
  const place = $('record-result');
  place.replaceChildren();
  if (take.decoder) {
    const result = take.decoder.finish();
    const peak = Math.max(take.peak, take.windowPeak);
    const name = `${$('record-name').value || nameOnTape(result.bytes) || 'TAPE'}.P6`;
    showDecoding(addCard(name, place), name, result, take.outline, {
      peak: peak > 0 ? 20 * Math.log10(peak) : -Infinity, speed: take.speedMeter.speed, channelText: '',
    });
  } else {
    addMessages(place, [say('noSignal')]);
  }
  take = null;
  $('record-start').disabled = false;
}

// Start -------------------------------------------------------------------------------------

const language = $('language');
language.value = defaultLanguage();
chooseLanguage(language.value);
language.onchange = () => {
  localStorage.setItem('hibarion.language', language.value);
  chooseLanguage(language.value);
};

applySettings();
showSettings();
$('settings-form').onchange = (event) => { if (event.target.id !== 'ini') keepSettings(); };
$('ini').onchange = (event) => {
  const file = event.target.files[0];
  event.target.value = '';
  if (file) loadIni(file);
};
$('defaults').onclick = () => {
  settings = { ...defaultSettings, characterTable: settings.characterTable };
  showSettings();
  keepSettings();
};

// Emptied after each choice, so that choosing the same file again converts it again.
$('choose').onchange = (event) => {
  const files = [...event.target.files];
  event.target.value = '';
  handleFiles(files);
};
document.addEventListener('dragover', (event) => { event.preventDefault(); document.body.classList.add('dragging'); });
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  handleFiles([...event.dataTransfer.files]);
});
$('record-start').onclick = startRecording;
$('record-stop').onclick = stopRecording;
document.body.dataset.ready = 'true';
