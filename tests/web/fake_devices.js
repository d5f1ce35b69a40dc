// Stand-ins for the browser's Web Serial and WebUSB, put into the page before
// its own code runs: the page's real code calls them as it calls the
// browser's, and they carry the bytes to the project's emulated readers and
// adaptor through the test (window.__qcSerial, window.__qcUsb, bindings the
// test exposes). What stays untested is the browser's own device code: its
// pickers, its USB and serial drivers, and the permissions they ask for.
(() => {
  const lost = () => new DOMException("The device has been lost.", "NetworkError");

  class FakeSerialPort {
    constructor() {
      this.readable = null;
      this.writable = null;
    }
    getInfo() {
      return {usbVendorId: 0x1a86, usbProductId: 0x7523};
    }
    async open({baudRate}) {
      if (!(await window.__qcSerial("open", baudRate))) throw new DOMException("Failed to open serial port.", "NetworkError");
      const port = this;
      this.readable = new ReadableStream({
        start(controller) {
          port.controller = controller;
        },
      });
      this.writable = new WritableStream({
        async write(chunk) {
          if (!(await window.__qcSerial("write", Array.from(chunk)))) throw lost();
        },
      });
    }
    async setSignals() {}
    async close() {
      await window.__qcSerial("close");
      this.readable = this.writable = this.controller = null;
    }
  }
  const serialPort = new FakeSerialPort();
  window.__qcSerialData = bytes => serialPort.controller && serialPort.controller.enqueue(new Uint8Array(bytes));
  window.__qcSerialLost = () => serialPort.controller && serialPort.controller.error(lost());
  const serial = {
    async requestPort() {
      return serialPort;
    },
    async getPorts() {
      return [serialPort];
    },
    addEventListener() {},
  };

  class FakeUsbDevice {
    constructor() {
      this.vendorId = 0x054c;
      this.productId = 0x02ea;
      this.productName = "Memory Card Adaptor";
      this.opened = false;
      this.configuration = null;
    }
    async open() {
      const code = await window.__qcUsb("open");
      if (code == -3) throw new DOMException("Access denied.", "SecurityError");
      if (code) throw new DOMException("Failed to open the device.", "NetworkError");
      this.opened = true;
    }
    async selectConfiguration(value) {
      this.configuration = {configurationValue: value};
    }
    async claimInterface(number) {
      const code = await window.__qcUsb("claim", number);
      if (code) throw new DOMException("Unable to claim interface.", code == -4 ? "NotFoundError" : "NetworkError");
    }
    async transferOut(endpoint, data) {
      const bytes = Array.from(new Uint8Array(data.buffer || data, data.byteOffset || 0, data.byteLength));
      const code = await window.__qcUsb("send", bytes);
      if (code == -4) throw new DOMException("The device was disconnected.", "NotFoundError");
      if (code) throw new DOMException("A transfer error has occurred.", "NetworkError");
      return {status: "ok", bytesWritten: bytes.length};
    }
    // Waits for the adaptor's reply as the device does, however long.
    async transferIn(endpoint, length) {
      for (;;) {
        const answer = await window.__qcUsb("receive", 5);
        if (answer.code == -4) throw new DOMException("The device was disconnected.", "NotFoundError");
        if (answer.code == 0) {
          const bytes = new Uint8Array(answer.bytes);
          return {status: "ok", data: new DataView(bytes.buffer)};
        }
        await new Promise(resolve => setTimeout(resolve, 2));
      }
    }
    async close() {
      this.opened = false;
      await window.__qcUsb("close");
    }
  }
  const adaptor = new FakeUsbDevice();
  const usb = {
    async requestDevice() {
      return adaptor;
    },
    async getDevices() {
      return (await window.__qcUsb("list")) ? [adaptor] : [];
    },
    addEventListener() {},
  };

  if (window.__qcDevices !== false) {
    Object.defineProperty(Navigator.prototype, "serial", {get: () => serial, configurable: true});
    Object.defineProperty(Navigator.prototype, "usb", {get: () => usb, configurable: true});
  }
})();
