// The page's texts in English and Japanese; the conversions' own messages come from the
// program, in Japanese as the Windows program shows them.
const texts = {
  en: {
    tagline: 'Cassette tapes of the 8-bit home computer: recordings, tape images (.p6) and BASIC listings, converted in this page.',
    filesTitle: 'Convert files',
    dropHint: 'Drop files here or choose them: recordings (WAV, FLAC, MP3, OGG …), tape images (.p6), BASIC text (.txt, .bas), Hibarion.ini',
    wavPath: 'WAV recordings',
    robustPath: 'robust decoder (any recording)',
    exactPath: 'exact path of the Windows program (8-bit mono WAV)',
    recordTitle: 'Record from the machine',
    record: 'Record', stop: 'Stop', play: 'Play',
    nameField: 'File name',
    settingsTitle: 'Settings',
    firstTone: 'Leading tone (seconds)', inputRatio: 'Input ratio', outputRatio: 'Output ratio',
    slow: 'Slow output (16×)', listing: 'BASIC listings', loadIni: 'Character table from Hibarion.ini',
    defaults: 'Defaults',
    iniLoaded: 'Character table loaded.',
    makeImage: 'Make tape image', nameOnTape: 'Name on tape',
    report: (r) => `${r.bytes} bytes, ${r.suspect} suspect, ${r.missing} missing${r.channelText}, peak ${r.peak}`,
    repaired: (b) => `repaired byte ${b} (structure)`,
    lost: (l) => `signal lost for ${l.duration.toFixed(2)} s, about ${l.missingBytes} bytes missing after this byte`,
    channel: (c, n) => `, channel ${c} of ${n}`,
    speed: (s) => `speed ${(100 * s).toFixed(1)} %`,
    noSignal: 'no tape signal found',
    notRead: 'cannot be read as a recording',
    tooLow: 'level too low', clipping: 'clipping', levelOk: 'level fine',
    bytesSoFar: (n) => `${n} bytes decoded`,
    noMicrophone: (e) => `no recording possible: ${e}`,
    mark: (m) => `${m.bytes} at ${m.time} (${m.reason})`,
    byteWord: (first, last) => first === last ? `byte ${first}` : `bytes ${first}-${last}`,
    stretchWord: (s) => `${s.suspectBytes} of bytes ${s.firstByte}-${s.lastByte}`,
    reasons: (keys) => keys.map((k) => ({
      framing: 'framing', weakBit: 'weak bit', signalLost: 'signal lost', structure: 'structure',
      unsureInEveryTake: 'unsure in every take', takesDisagree: 'takes disagree', lostInEveryTake: 'signal lost in every take',
    })[k]).join(', '),
  },
  ja: {
    tagline: '8 ビットパソコンのカセットテープ：録音、テープイメージ（.p6）、BASIC リストをこのページの中で変換します。',
    filesTitle: 'ファイルの変換',
    dropHint: 'ここにファイルをドロップするか選んでください：録音（WAV、FLAC、MP3、OGG …）、テープイメージ（.p6）、BASIC テキスト（.txt、.bas）、Hibarion.ini',
    wavPath: 'WAV の録音',
    robustPath: 'ロバストデコーダ（あらゆる録音）',
    exactPath: 'Windows 版と同じ変換（8 ビット モノラル WAV）',
    recordTitle: '実機から録音',
    record: '録音', stop: '停止', play: '再生',
    nameField: 'ファイル名',
    settingsTitle: '設定',
    firstTone: 'ピーの時間（秒）', inputRatio: '入力比', outputRatio: '出力比',
    slow: '遅い出力（16 倍）', listing: 'BASIC リスト', loadIni: 'Hibarion.ini の文字表を読む',
    defaults: '初期値',
    iniLoaded: '文字表を読み込みました。',
    makeImage: 'テープイメージを作る', nameOnTape: 'テープ上の名前',
    report: (r) => `${r.bytes} バイト、疑わしいもの ${r.suspect}、欠落 ${r.missing}${r.channelText}、ピーク ${r.peak}`,
    repaired: (b) => `バイト ${b} を修復（構造）`,
    lost: (l) => `${l.duration.toFixed(2)} 秒の信号消失、この後に約 ${l.missingBytes} バイト欠落`,
    channel: (c, n) => `、チャンネル ${c}/${n}`,
    speed: (s) => `速度 ${(100 * s).toFixed(1)} %`,
    noSignal: 'テープの信号が見つかりません',
    notRead: '録音として読めません',
    tooLow: 'レベルが低すぎます', clipping: '音割れ', levelOk: 'レベル良好',
    bytesSoFar: (n) => `${n} バイト解読`,
    noMicrophone: (e) => `録音できません：${e}`,
    mark: (m) => `${m.bytes}、${m.time}（${m.reason}）`,
    byteWord: (first, last) => first === last ? `バイト ${first}` : `バイト ${first}-${last}`,
    stretchWord: (s) => `バイト ${s.firstByte}-${s.lastByte} のうち ${s.suspectBytes}`,
    reasons: (keys) => keys.map((k) => ({
      framing: 'フレーム不良', weakBit: '弱いビット', signalLost: '信号消失', structure: '構造',
      unsureInEveryTake: 'どのテイクも不確か', takesDisagree: 'テイク間で不一致', lostInEveryTake: '全テイクで信号消失',
    })[k]).join('、'),
  },
};

let language = 'en';

export function chooseLanguage(wanted) {
  language = texts[wanted] ? wanted : 'en';
  document.documentElement.lang = language;
  for (const element of document.querySelectorAll('[data-text]'))
    element.textContent = texts[language][element.dataset.text];
}

export function defaultLanguage() {
  const saved = localStorage.getItem('hibarion.language');
  if (saved) return saved;
  return (navigator.languages || [navigator.language]).some((l) => l.startsWith('ja')) ? 'ja' : 'en';
}

// The text `key`, or its function applied to `args`.
export function say(key, ...args) {
  const text = texts[language][key];
  return typeof text === 'function' ? text(...args) : text;
}
