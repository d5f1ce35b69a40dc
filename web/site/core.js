// The core (the card, the files, the readers' jobs) compiled to WebAssembly,
// called one call at a time: a job that waits on the browser (a reader, the
// cryptography) holds the core until it ends, and every other call waits
// behind it.
import createQuillcrest from "./quillcrest-core.mjs";

// Where the backups live: the core's data folder, kept in IndexedDB.
const kDataFolder = "/home/web_user/.local/share/quillcrest";

export class Core {
  static async load() {
    const module = await createQuillcrest();
    const core = new Core(module);
    await core.mountStorage();
    return core;
  }

  constructor(module) {
    this.module = module;
    this.queue = Promise.resolve();
    module.persistBackups = () => this.sync(false);
  }

  async mountStorage() {
    const {FS, IDBFS} = this.module;
    let path = "";
    for (const part of kDataFolder.split("/").filter(Boolean)) {
      path += "/" + part;
      try {
        FS.mkdir(path);
      } catch (e) {
        // there already
      }
    }
    FS.mount(IDBFS, {}, kDataFolder);
    await this.sync(true);
  }

  sync(populate) {
    return new Promise((resolve, reject) =>
      this.module.FS.syncfs(populate, error => (error ? reject(error) : resolve())));
  }

  // Runs `work` once every call before it has ended.
  exclusive(work) {
    const run = this.queue.then(work, work);
    this.queue = run.catch(() => {});
    return run;
  }

  // One call of the core: `args` are numbers, strings or byte arrays (copied
  // into the core's memory for the call). Resolves to {ok, failure, caption,
  // notice, result, output}.
  call(name, args = [], {async = false} = {}) {
    return this.exclusive(async () => {
      const m = this.module;
      const buffers = [];
      const types = [];
      const values = [];
      for (const arg of args) {
        if (arg instanceof Uint8Array) {
          const pointer = m._malloc(Math.max(arg.length, 1));
          m.HEAPU8.set(arg, pointer);
          buffers.push(pointer);
          types.push("number");
          values.push(pointer, arg.length);
          types.push("number");
        } else {
          types.push(typeof arg == "string" ? "string" : "number");
          values.push(arg);
        }
      }
      try {
        const ok = await m.ccall(name, "number", types, values, {async});
        const text = what => m.ccall(what, "string", [], []);
        const pointer = m.ccall("qc_output", "number", [], []);
        const size = m.ccall("qc_output_size", "number", [], []);
        const result = text("qc_result");
        return {
          ok: ok == 1,
          failure: text("qc_failure"),
          caption: text("qc_failure_caption") || "Error",
          notice: text("qc_notice"),
          result: result ? JSON.parse(result) : null,
          output: m.HEAPU8.slice(pointer, pointer + size),
        };
      } finally {
        for (const pointer of buffers) m._free(pointer);
      }
    });
  }

  view(pane) {
    return this.call("qc_view", [pane]).then(answer => answer.result);
  }

  async icon(pane, slot, frame) {
    return (await this.call("qc_icon", [pane, slot, frame])).output;
  }
}
