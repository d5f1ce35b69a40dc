// Stand-ins for the browser's Web Serial and WebUSB, put into the page before
// its own code runs: the page's real code calls them as it calls the
// browser's, and they carry the bytes to the project's emulated readers and
// adaptor through the test over WebSockets. What stays untested is the
// browser's own device code: its pickers, its USB and serial drivers, and the permissions they ask for.
(() => {
  const lost = () => new DOMException("The device has been lost.", "NetworkError");

  // The test's WebSocket (window.__qcSerialSocket) carries the bytes.
  class FakeSerialPort {
    constructor() {
      this.readable = null;
      this.writable = null;
      this.socket = null;
    }
    getInfo() {
      return {usbVendorId: 0x1a86, usbProductId: 0x7523};
    }
    async connect() {
      if (this.socket && this.socket.readyState == WebSocket.OPEN) return;
      this.socket = new WebSocket(window.__qcSerialSocket);
      this.socket.binaryType = "arraybuffer";
      this.socket.onmessage = event => this.receive(new Uint8Array(event.data));
      await new Promise((resolve, reject) => {
        this.socket.onopen = resolve;
        this.socket.onerror = reject;
      });
    }
    receive(message) {
      const op = String.fromCharCode(message[0]);
      if (op == "o" && this.opening) this.opening(message[1] == 1);
      else if (op == "d" && this.controller) this.controller.enqueue(message.slice(1));
      else if (op == "l" && this.controller) this.controller.error(lost());
    }
    async open({baudRate}) {
      await this.connect();
      const request = new Uint8Array(5);
      request[0] = 0x6f;  // "o"
      new DataView(request.buffer).setUint32(1, baudRate, true);
      const opened = await new Promise(resolve => {
        this.opening = resolve;
        this.socket.send(request);
      });
      this.opening = null;
      if (!opened) throw new DOMException("Failed to open serial port.", "NetworkError");
      const port = this;
      this.readable = new ReadableStream({
        start(controller) {
          port.controller = controller;
        },
      });
      this.writable = new WritableStream({
        write(chunk) {
          const message = new Uint8Array(chunk.length + 1);
          message[0] = 0x77;  // "w"
          message.set(chunk, 1);
          port.socket.send(message);
        },
      });
    }
    async setSignals() {}
    async close() {
      if (this.socket && this.socket.readyState == WebSocket.OPEN) this.socket.send(new Uint8Array([0x63]));  // "c"
      this.readable = this.writable = this.controller = null;
    }
  }
  const serialPort = new FakeSerialPort();
  const serial = {
    async requestPort() {
      return serialPort;
    },
    async getPorts() {
      return [serialPort];
    },
    addEventListener() {},
  };

  // The adaptor's requests go over the test's WebSocket (window.__qcUsbSocket)
  // one at a time, each answered in turn: an op letter and its bytes out, the
  // emulator's answer back.
  let usbSocket = null;
  const usbAnswers = [];
  async function usbRequest(op, payload = new Uint8Array(0)) {
    if (!usbSocket || usbSocket.readyState != WebSocket.OPEN) {
      usbSocket = new WebSocket(window.__qcUsbSocket);
      usbSocket.binaryType = "arraybuffer";
      usbSocket.onmessage = event => usbAnswers.shift()(new DataView(event.data));
      await new Promise((resolve, reject) => {
        usbSocket.onopen = resolve;
        usbSocket.onerror = reject;
      });
    }
    const message = new Uint8Array(payload.length + 1);
    message[0] = op.charCodeAt(0);
    message.set(payload, 1);
    return new Promise(resolve => {
      usbAnswers.push(resolve);
      usbSocket.send(message);
    });
  }
  const int = value => new Uint8Array(new Int32Array([value]).buffer);
  const code = answer => answer.getInt32(0, true);

  class FakeUsbDevice {
    constructor() {
      this.vendorId = 0x054c;
      this.productId = 0x02ea;
      this.productName = "Memory Card Adaptor";
      this.opened = false;
      this.configuration = null;
    }
    async open() {
      const opened = code(await usbRequest("O"));
      if (opened == -3) throw new DOMException("Access denied.", "SecurityError");
      if (opened) throw new DOMException("Failed to open the device.", "NetworkError");
      this.opened = true;
    }
    async selectConfiguration(value) {
      this.configuration = {configurationValue: value};
    }
    async claimInterface(number) {
      const claimed = code(await usbRequest("C", int(number)));
      if (claimed) throw new DOMException("Unable to claim interface.", claimed == -4 ? "NotFoundError" : "NetworkError");
    }
    async transferOut(endpoint, data) {
      const bytes = new Uint8Array(data.buffer || data, data.byteOffset || 0, data.byteLength);
      const sent = code(await usbRequest("S", bytes));
      if (sent == -4) throw new DOMException("The device was disconnected.", "NotFoundError");
      if (sent) throw new DOMException("A transfer error has occurred.", "NetworkError");
      return {status: "ok", bytesWritten: bytes.length};
    }
    // Waits for the adaptor's reply as the device does, however long.
    async transferIn(endpoint, length) {
      for (;;) {
        const answer = await usbRequest("R", int(5));
        if (code(answer) == -4) throw new DOMException("The device was disconnected.", "NotFoundError");
        if (code(answer) == 0) {
          const bytes = new Uint8Array(answer.buffer.slice(4));
          return {status: "ok", data: new DataView(bytes.buffer)};
        }
        await new Promise(resolve => setTimeout(resolve, 2));
      }
    }
    async close() {
      this.opened = false;
      await usbRequest("X");
    }
  }
  const adaptor = new FakeUsbDevice();
  const usb = {
    async requestDevice() {
      return adaptor;
    },
    async getDevices() {
      return (await usbRequest("L")).getUint8(0) == 1 ? [adaptor] : [];
    },
    addEventListener() {},
  };

  if (window.__qcDevices !== false) {
    Object.defineProperty(Navigator.prototype, "serial", {get: () => serial, configurable: true});
    Object.defineProperty(Navigator.prototype, "usb", {get: () => usb, configurable: true});
  }
})();
