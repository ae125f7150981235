// The browser leg: serves the web pages on 127.0.0.1, opens them in headless Chromium and drives
// it over the DevTools protocol, through a pipe: no debugging port, no npm packages.
//
//   node check-pages.js <web directory> <native OrvelDemo> [--screenshot <png>]
//
// It checks that the golden workload gives the golden digest in the browser, and that the demo
// page draws the default mesh and files picked from examples/tests with the digest, the picture
// and the messages of the native demo on the same files. Any exception, console error or crash in
// a page or its worker, and a time-out, fail the run. It prints what the pages printed, and stops
// the server and the browser whatever happens.
'use strict';

const {spawn, spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {serve} = require('../../examples/web/serve.js');

const kSourceDir = path.resolve(__dirname, '../..');
// Files the demo page's picker takes, checked against the native demo: faces, a byte-order mark
// with CRLF and continued lines, a 0 byte, and an index out of range.
const kPickedFiles = [
  'examples/tests/obj-features.obj',
  'examples/tests/bom-and-continuation.obj',
  'examples/tests/zero-byte.obj',
  'examples/tests/bad/index-out-of-range.obj',
];
const kTimeoutMs = 90000;
const kChromiumFlags = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--remote-debugging-pipe',
];

// One connection to the browser: commands with their answers, and events.
class DevTools {
  constructor(input, output) {
    this.input = input;
    this.nextId = 1;
    this.waiting = new Map();
    this.listeners = new Set();
    let buffer = '';
    output.setEncoding('utf8');
    output.on('data', (chunk) => {
      buffer += chunk;
      let end;
      while ((end = buffer.indexOf('\0')) >= 0) {
        this.receive(JSON.parse(buffer.slice(0, end)));
        buffer = buffer.slice(end + 1);
      }
    });
  }

  receive(message) {
    const command = this.waiting.get(message.id);
    if (!command) {
      for (const listener of this.listeners) listener(message);
      return;
    }
    this.waiting.delete(message.id);
    if (message.error) {
      command.reject(new Error(`${command.method}: ${message.error.message}`));
    } else {
      command.resolve(message.result);
    }
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    this.input.write(JSON.stringify({id, method, params, sessionId}) + '\0');
    return new Promise((resolve, reject) => this.waiting.set(id, {method, resolve, reject}));
  }

  // Resolves with the first event `method` of `sessionId` after the call.
  next(method, sessionId) {
    return new Promise((resolve) => {
      const listener = (message) => {
        if (message.method !== method || message.sessionId !== sessionId) return;
        this.listeners.delete(listener);
        resolve(message.params);
      };
      this.listeners.add(listener);
    });
  }
}

// A page in its own tab; it records every fault of the page and of its workers.
class Page {
  constructor(devTools, targetId, sessionId, faults) {
    this.devTools = devTools;
    this.targetId = targetId;
    this.sessionId = sessionId;
    const sessions = new Set([sessionId]);  // the page's and its workers'
    devTools.listeners.add((message) => {
      if (!sessions.has(message.sessionId)) return;
      const where = message.sessionId === sessionId ? 'page' : 'worker';
      const params = message.params;
      switch (message.method) {
        case 'Target.attachedToTarget':
          sessions.add(params.sessionId);
          this.watch(params.sessionId).catch((error) => faults.push(`worker: ${error.message}`));
          break;
        case 'Runtime.consoleAPICalled': {
          const text = params.args.map((arg) => arg.value ?? arg.description).join(' ');
          console.log(`  ${where}: ${text}`);
          if (params.type === 'error' || params.type === 'assert') faults.push(`${where}: ${text}`);
          break;
        }
        case 'Runtime.exceptionThrown': {
          const details = params.exceptionDetails;
          faults.push(`${where}: ${details.exception?.description ?? details.text}`);
          break;
        }
        case 'Log.entryAdded':
          if (params.entry.level === 'error') faults.push(`${where}: ${params.entry.text}`);
          break;
        case 'Inspector.targetCrashed':
          faults.push(`${where}: crashed`);
          break;
      }
    });
  }

  static async open(devTools, faults) {
    const {targetId} = await devTools.send('Target.createTarget', {url: 'about:blank'});
    const {sessionId} = await devTools.send('Target.attachToTarget', {targetId, flatten: true});
    const page = new Page(devTools, targetId, sessionId, faults);
    await page.send('Page.enable');
    await page.send('Emulation.setDeviceMetricsOverride',
                    {width: 1000, height: 700, deviceScaleFactor: 1, mobile: false});
    await page.watch(sessionId);
    return page;
  }

  // Reports from a session of the page's: console, exceptions, log, and workers it starts.
  async watch(sessionId) {
    await this.devTools.send('Runtime.enable', {}, sessionId);
    await this.devTools.send('Log.enable', {}, sessionId);
    await this.devTools.send('Target.setAutoAttach',
                             {autoAttach: true, waitForDebuggerOnStart: false, flatten: true},
                             sessionId);
  }

  close() {
    return this.devTools.send('Target.closeTarget', {targetId: this.targetId});
  }

  send(method, params) {
    return this.devTools.send(method, params, this.sessionId);
  }

  async navigate(url) {
    const loaded = this.devTools.next('Page.loadEventFired', this.sessionId);
    const {errorText} = await this.send('Page.navigate', {url});
    if (errorText) throw new Error(`${url}: ${errorText}`);
    await loaded;
  }

  // The value of a JavaScript expression, after awaiting it if it is a promise.
  async evaluate(expression) {
    const {result, exceptionDetails} = await this.send(
        'Runtime.evaluate', {expression, awaitPromise: true, returnByValue: true});
    if (exceptionDetails) {
      throw new Error(exceptionDetails.exception?.description ?? exceptionDetails.text);
    }
    return result.value;
  }

  // The demo page's drawing number `index` (0 for the default mesh), once it is shown.
  drawing(index) {
    return this.evaluate(`(async () => {
      while (window.orvelDrawings.length <= ${index}) await new Promise((r) => setTimeout(r, 20));
      return window.orvelDrawings[${index}];
    })()`);
  }

  async pick(file) {
    const {root} = await this.send('DOM.getDocument');
    const {nodeId} = await this.send('DOM.querySelector', {nodeId: root.nodeId,
                                                           selector: '#mesh-file'});
    await this.send('DOM.setFileInputFiles', {files: [file], nodeId});
  }
}

// What the native demo prints and draws for `file`, run where the file is, so that its messages
// name the file as the page's do.
function nativeDrawing(demo, file, scratch) {
  const picture = path.join(scratch, 'native.svg');
  fs.rmSync(picture, {force: true});
  const run = spawnSync(demo, [path.basename(file), picture],
                        {cwd: path.dirname(file), encoding: 'utf8'});
  if (run.error) throw new Error(`${demo}: ${run.error.message}`);
  if (run.status !== 0) return {error: run.stderr.trim().replace(/^OrvelDemo: /, '')};
  const [, counts] = /^mesh: .* \((.*)\)$/m.exec(run.stdout);
  const [, digest] = /^digest: +fnv1a64 ([0-9a-f]{16})$/m.exec(run.stdout);
  return {counts, digest, svg: fs.readFileSync(picture, 'utf8')};
}

// Where the page's drawing and the native one differ, or '' where they are the same.
function difference(page, native) {
  if (native.error) {
    return page.error === native.error ? '' : `the native demo says '${native.error}'`;
  }
  if (page.error) return 'the native demo draws it';
  if (page.digest !== native.digest) return `the native digest is ${native.digest}`;
  if (page.counts !== native.counts) return `the native counts are (${native.counts})`;
  return page.svg === native.svg ? '' : 'the picture differs from the native one';
}

async function check(devTools, base, demo, screenshot, scratch, faults) {
  const results = [];
  const report = (passed, text) => {
    results.push(passed);
    console.log(`${passed ? 'ok  ' : 'FAIL'} ${text}`);
  };

  const golden = await Page.open(devTools, faults);
  await golden.navigate(`${base}/golden.html`);
  const status = await golden.evaluate('window.orvelExit');
  report(status === 0, `golden.html: exit status ${status}`);
  await golden.close();

  const page = await Page.open(devTools, faults);
  await page.navigate(`${base}/`);
  const first = await page.drawing(0);
  const expected = await page.evaluate(`document.getElementById('native-digest').dataset.digest`);
  const mesh = path.join(kSourceDir, 'examples/meshes/trefoil.obj');
  const native = nativeDrawing(demo, mesh, scratch);
  const firstDifference =
      first.digest === expected ? difference(first, native) : `expected ${expected}`;
  report(!firstDifference, `index.html: ${first.name} (${first.counts}) fnv1a64 ${first.digest}: ` +
                               (firstDifference || 'as native, the same picture'));
  if (screenshot) {
    const {data} = await page.send('Page.captureScreenshot', {format: 'png'});
    fs.writeFileSync(screenshot, Buffer.from(data, 'base64'));
  }

  for (const [index, name] of kPickedFiles.entries()) {
    const file = path.join(kSourceDir, name);
    await page.pick(file);
    const drawing = await page.drawing(index + 1);
    const problem = difference(drawing, nativeDrawing(demo, file, scratch));
    const shown = drawing.error || `(${drawing.counts}) fnv1a64 ${drawing.digest}`;
    report(!problem, `picked ${name}: ${shown}: ${problem || 'as native'}`);
  }
  return results;
}

async function main() {
  const args = process.argv.slice(2);
  const screenshotAt = args.indexOf('--screenshot');
  const screenshot = screenshotAt >= 0 ? path.resolve(args.splice(screenshotAt, 2)[1]) : null;
  if (args.length !== 2) {
    console.error('usage: node check-pages.js <web directory> <native OrvelDemo> ' +
                  '[--screenshot <png>]');
    return 2;
  }
  const [webDir, demo] = args.map((arg) => path.resolve(arg));

  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'orvel-browser-'));
  const server = await serve(webDir, 0);
  const chromium = spawn(
      'chromium', [...kChromiumFlags, `--user-data-dir=${path.join(scratch, 'profile')}`],
      {stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true});
  let chromiumLog = '';
  chromium.stderr.on('data', (chunk) => (chromiumLog += chunk));
  const exited = new Promise((resolve) => {
    chromium.once('exit', resolve);
    chromium.once('error', (error) => resolve(error.message));  // not installed, say
  });
  // Whatever ends this process ends the browser, all its processes, with it.
  const stop = () => {
    try {
      process.kill(-chromium.pid, 'SIGKILL');
    } catch (error) {
      // already gone
    }
  };
  process.on('exit', stop);
  for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => process.exit(1));

  const devTools = new DevTools(chromium.stdio[3], chromium.stdio[4]);
  const faults = [];
  let results = [];
  try {
    const base = `http://127.0.0.1:${server.address().port}`;
    let timer;
    const timeout = new Promise((resolve, reject) => {
      timer = setTimeout(() => reject(new Error(`no answer within ${kTimeoutMs / 1000} s`)),
                         kTimeoutMs);
    });
    const gone = exited.then((code) => {
      throw new Error(`Chromium ended (${code}) before the checks did:\n${chromiumLog}`);
    });
    const checks = check(devTools, base, demo, screenshot, scratch, faults);
    results = await Promise.race([checks, timeout, gone]);
    clearTimeout(timer);
  } catch (error) {
    faults.push(error.message);
  } finally {
    await Promise.race([devTools.send('Browser.close'), exited]).catch(() => {});
    await Promise.race([exited, new Promise((resolve) => setTimeout(resolve, 5000))]);
    stop();
    server.close();
    fs.rmSync(scratch, {recursive: true, force: true});
  }

  for (const fault of faults) console.log(`FAIL ${fault}`);
  const passed = results.filter((result) => result).length;
  const failed = results.length - passed + faults.length;
  console.log(`browser: ${passed} passed, ${failed} failed`);
  return failed ? 1 : 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(error);
  process.exit(1);
});
