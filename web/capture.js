// The sound card's input, sample by sample as it arrives, with none of the browser's
// voice processing: a tape signal must reach the decoder as the machine sends it.
const processorSource = `registerProcessor('hibarion-capture', class extends AudioWorkletProcessor {
  process(inputs) {
    if (inputs[0].length) this.port.postMessage(inputs[0][0].slice(0));
    return true;
  }
});`;

export class Capture {
  // Calls `take(samples, sampleRate)` with each block of the first channel as it arrives.
  static async start(take) {
    const stream = await navigator.mediaDevices.getUserMedia({
      audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false, channelCount: 1 },
    });
    // The context runs at the device's own rate where it says it, so nothing is resampled.
    const deviceRate = stream.getAudioTracks()[0].getSettings().sampleRate;
    const context = new AudioContext(deviceRate ? { sampleRate: deviceRate } : {});
    const url = URL.createObjectURL(new Blob([processorSource], { type: 'text/javascript' }));
    try {
      await context.audioWorklet.addModule(url);
    } finally {
      URL.revokeObjectURL(url);
    }
    const node = new AudioWorkletNode(context, 'hibarion-capture', { numberOfOutputs: 0 });
    node.port.onmessage = (event) => take(event.data, context.sampleRate);
    context.createMediaStreamSource(stream).connect(node);
    return new Capture(stream, context, node);
  }

  constructor(stream, context, node) {
    this.stream = stream;
    this.context = context;
    this.node = node;
  }

  async stop() {
    this.node.port.onmessage = null;
    for (const track of this.stream.getTracks()) track.stop();
    await this.context.close();
  }
}
