// The card readers a page may reach: the PS3 adaptor through WebUSB, the
// serial readers through Web Serial, each chosen in the browser's own
// picker (a page is given only the devices its user picks).
import {kAdaptorFilter} from "./constants.js";

export const kNoReaderApis =
  "This browser reaches no card reader: reading and writing real cards needs Web Serial and WebUSB, " +
  "which Chrome, Edge and Opera have on Windows, macOS, Linux and ChromeOS. Card files and saves work here all the same.";

export function usbAvailable() {
  return typeof navigator != "undefined" && !!navigator.usb;
}
export function serialAvailable() {
  return typeof navigator != "undefined" && !!navigator.serial;
}

// The reader of the page's choice: {kind, slot} as the core's qc_use_reader
// takes them; kind 0 is the PS3 adaptor.
export function readerOf(value) {
  const [kind, slot] = value.split(",").map(Number);
  return {kind, slot};
}

export class Readers {
  constructor(module) {
    this.module = module;
    this.chosen = {usb: null, serial: null};
  }

  // Whether the reader's device was chosen (or granted earlier).
  async ready(reader) {
    if (reader.kind == 0) {
      if (!usbAvailable()) return false;
      const granted = await navigator.usb.getDevices();
      return granted.some(d => d.vendorId == kAdaptorFilter.vendorId && d.productId == kAdaptorFilter.productId);
    }
    return !!this.chosen.serial;
  }

  // The browser's picker, from a click: true once a device was chosen.
  async choose(reader) {
    try {
      if (reader.kind == 0) {
        if (!usbAvailable()) return false;
        this.chosen.usb = await navigator.usb.requestDevice({filters: [kAdaptorFilter]});
        return true;
      }
      if (!serialAvailable()) return false;
      this.chosen.serial = await navigator.serial.requestPort();
      this.module.serialPorts = {browser: this.chosen.serial};
      return true;
    } catch (e) {
      return false;  // the user closed the picker
    }
  }

  describe(reader) {
    if (reader.kind == 0) return this.chosen.usb ? this.chosen.usb.productName || "PS3 adaptor" : "";
    if (!this.chosen.serial) return "";
    const info = this.chosen.serial.getInfo ? this.chosen.serial.getInfo() : {};
    return info.usbVendorId ? `serial port ${info.usbVendorId.toString(16)}:${(info.usbProductId || 0).toString(16)}`
                            : "serial port";
  }
}
