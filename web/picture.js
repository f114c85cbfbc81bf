// The picture of a recording: its level over time, the tape's speed, each suspect byte
// marked where it lies; pointing at a mark tells the byte, its time and the reason.
import { say } from './texts.js';

const markReach = 4;  // pixels from a mark within which pointing finds it

// M:SS.ss, as the command-line program gives a place in a recording.
// Rounded to hundredths first, so that 59.999 s is 1:00.00 and never 0:60.00.
export function recordingTime(seconds) {
  const total = Math.max(0, Math.floor(seconds * 100 + 0.5)) || 0;
  const twoDigits = (n) => String(n).padStart(2, '0');
  const rest = total % 6000;
  return `${Math.floor(total / 6000)}:${twoDigits(Math.floor(rest / 100))}.${twoDigits(rest % 100)}`;
}

export function drawTape(canvas, outline, suspects, tip, speedText) {
  const width = canvas.clientWidth || 800;
  const height = canvas.clientHeight || 140;
  canvas.width = width;
  canvas.height = height;
  const g = canvas.getContext('2d');
  g.fillStyle = '#fff';
  g.fillRect(0, 0, width, height);
  const points = outline.lows.length;
  const middle = height / 2;
  g.fillStyle = '#369';
  for (let x = 0; x < width; ++x) {
    const first = Math.floor(x * points / width);
    const last = Math.max(first + 1, Math.floor((x + 1) * points / width));
    let low = 0, high = 0;
    for (let k = first; k < last && k < points; ++k) {
      low = Math.min(low, outline.lows[k]);
      high = Math.max(high, outline.highs[k]);
    }
    const top = middle - Math.min(high, 1) * middle;
    const bottom = middle - Math.max(low, -1) * middle;
    g.fillRect(x, top, 1, Math.max(1, bottom - top));
  }
  const seconds = outline.seconds || 1;
  const marks = suspects.map((s) => ({ ...s, x: Math.round(s.seconds / seconds * (width - 1)) }));
  g.fillStyle = 'rgba(200, 0, 0, 0.8)';
  for (const mark of marks) g.fillRect(mark.x - 1, 0, 3, height);
  g.fillStyle = '#222';
  g.font = '11px sans-serif';
  g.fillText(recordingTime(0), 2, height - 3);
  g.fillText(speedText, 2, 12);
  const end = recordingTime(seconds);
  g.fillText(end, width - g.measureText(end).width - 2, height - 3);

  canvas.onmousemove = (event) => {
    const x = event.offsetX * canvas.width / canvas.clientWidth;
    const near = marks.filter((m) => Math.abs(m.x - x) <= markReach);
    if (!near.length) {
      tip.hidden = true;
      return;
    }
    tip.textContent = near.map((m) => say('mark', {
      bytes: say('byteWord', m.firstByte, m.lastByte), time: recordingTime(m.seconds), reason: m.reason,
    })).join('\n');
    tip.style.left = `${event.clientX + 12}px`;
    tip.style.top = `${event.clientY + 12}px`;
    tip.hidden = false;
  };
  canvas.onmouseleave = () => { tip.hidden = true; };
}
