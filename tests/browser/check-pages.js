// The browser leg: serves the web pages on 127.0.0.1 and opens them in headless Chromium, then in
// headless Firefox. No npm packages, and no browser is downloaded: Debian's are used.
//
//   node check-pages.js <web directory> <native OrvelDemo> [--browser chromium|firefox]
//                       [--screenshot <png>]
//
// Chromium is driven over the DevTools protocol, through a pipe (no debugging port): the golden
// workload must give the golden digest, and the demo page must draw the default mesh and files
// picked from examples/tests with the digest, the picture and the messages of the native demo on
// the same files. Any exception, console error or crash in a page or its worker fails the run.
// Firefox is not driven: it opens the pages with ?report, and they post their outcome to the
// server (examples/web/report.js), the golden workload's exit status and the default mesh's
// drawing, which are checked as in Chromium.
//
// Each step has a time-out of its own, counted from when the step starts, and the message of a
// step that runs out names it. The run prints what the pages printed, and stops the server and
// the browsers whatever happens. --screenshot saves a picture of the demo page in Chromium once
// the default mesh is drawn.
'use strict';

const {spawn, spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {serve} = require('../../examples/web/serve.js');

const kSourceDir = path.resolve(__dirname, '../..');
const kDefaultMesh = path.join(kSourceDir, 'examples/meshes/trefoil.obj');
// Files the demo page's picker takes, checked against the native demo: faces, a byte-order mark
// with CRLF and continued lines, a 0 byte, and an index out of range.
const kPickedFiles = [
  'examples/tests/obj-features.obj',
  'examples/tests/bom-and-continuation.obj',
  'examples/tests/zero-byte.obj',
  'examples/tests/bad/index-out-of-range.obj',
];
// A step (a browser starting, a page loading and giving its result) takes a second or two on a
// quiet machine; on a loaded one, with builds beside it, many times that.
const kStepTimeoutMs = 60000;
// How long a browser has to close before it is killed.
const kCloseTimeoutMs = 5000;
const kChromiumFlags = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--remote-debugging-pipe',
];
// A fresh profile, its preferences in firefox-user.js; -no-remote keeps it apart from any
// Firefox already running.
const kFirefoxFlags = ['-headless', '-no-remote'];

// Runs `action` and settles as its promise does, or fails when it has not settled within
// kStepTimeoutMs, saying what it was waiting for.
function step(waitingFor, action) {
  let timer;
  const late = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Error(`timed out after ${kStepTimeoutMs / 1000} s ` +
                                              `waiting for ${waitingFor}`)),
                       kStepTimeoutMs);
  });
  return Promise.race([action(), late]).finally(() => clearTimeout(timer));
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// One connection to the browser: commands with their answers, and events.
class DevTools {
  constructor(input, output) {
    this.input = input;
    // Writing to a browser that has gone fails; its exit says so (Browser.ended).
    input.on('error', () => {});
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
                        {cwd: path.dirname(file), encoding: 'utf8', timeout: kStepTimeoutMs});
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

// How a page shows a drawing: its counts and digest, or its error.
function shown(drawing) {
  return drawing.error || `(${drawing.counts}) fnv1a64 ${drawing.digest}`;
}

// The demo page's drawing of the default mesh against the digest the page names as the native
// demo's, and against the native demo's own drawing: [passed, what the check says].
function checkDefaultDrawing(drawing, shownNativeDigest, native) {
  const problem = drawing.digest === shownNativeDigest ? difference(drawing, native)
                                                       : `expected ${shownNativeDigest}`;
  return [!problem, `index.html: ${drawing.name} ${shown(drawing)}: ` +
                        (problem || 'as native, the same picture')];
}

// The first value given for each key, to wait for before or after it comes.
class FirstOf {
  constructor() {
    this.entries = new Map();
  }

  entry(key) {
    if (!this.entries.has(key)) {
      let resolve;
      const promise = new Promise((settle) => (resolve = settle));
      this.entries.set(key, {promise, resolve});
    }
    return this.entries.get(key);
  }

  give(key, value) {
    this.entry(key).resolve(value);  // a later value changes nothing
  }

  wait(key) {
    return this.entry(key).promise;
  }
}

// Browsers still running: whatever ends this process ends them.
const running = new Set();
process.on('exit', () => {
  for (const browser of running) browser.stop();
});
for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => process.exit(1));

// A browser in a process group of its own, so that stop() ends it with every process it started,
// and with its home in `home`, so that it leaves no file in the user's.
class Browser {
  constructor(name, command, args, {home, stdio = ['ignore', 'ignore', 'pipe'], env = {}}) {
    this.name = name;
    this.process = spawn(command, args,
                         {stdio, detached: true, env: {...process.env, HOME: home, ...env}});
    this.log = '';
    this.process.stderr.on('data', (chunk) => (this.log += chunk));
    this.exited = new Promise((resolve) => {
      this.process.once('exit', (code, signal) => resolve(signal ?? code));
      this.process.once('error', (error) => resolve(error.message));  // not installed, say
    });
    running.add(this);
  }

  // Fails when the browser ends, which it does not by itself.
  ended() {
    return this.exited.then((how) => {
      throw new Error(`${this.name} ended (${how}) before the checks did:\n${this.log}`);
    });
  }

  stop() {
    running.delete(this);
    try {
      process.kill(-this.process.pid, 'SIGKILL');
    } catch (error) {
      // already gone
    }
  }
}

// Chromium, driven over the DevTools protocol: the golden workload, the demo page's default mesh
// and the files picked through it.
async function checkChromium(context, report) {
  const chromium = new Browser(
      'Chromium', 'chromium',
      [...kChromiumFlags, `--user-data-dir=${path.join(context.scratch, 'chromium')}`],
      {home: context.scratch, stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe']});
  const devTools = new DevTools(chromium.process.stdio[3], chromium.process.stdio[4]);
  const faults = [];
  try {
    await Promise.race([checkChromiumPages(devTools, context, faults, report), chromium.ended()]);
  } finally {
    // Chromium also ends by itself when its pipe closes, as this process ends.
    devTools.send('Browser.close').catch(() => {});
    await Promise.race([chromium.exited, sleep(kCloseTimeoutMs)]);
    chromium.stop();
    for (const fault of faults) report(false, fault);
  }
}

async function checkChromiumPages(devTools, {base, demo, native, scratch, screenshot}, faults,
                                  report) {
  await step('Chromium to start', () => devTools.send('Browser.getVersion'));

  const status = await step("golden.html's exit status", async () => {
    const golden = await Page.open(devTools, faults);
    await golden.navigate(`${base}/golden.html`);
    const exitStatus = await golden.evaluate('window.orvelExit');
    await golden.close();
    return exitStatus;
  });
  report(status === 0, `golden.html: exit status ${status}`);

  const [page, first, expected] = await step('index.html to draw the default mesh', async () => {
    const opened = await Page.open(devTools, faults);
    await opened.navigate(`${base}/`);
    return [opened, await opened.drawing(0),
            await opened.evaluate(`document.getElementById('native-digest').dataset.digest`)];
  });
  report(...checkDefaultDrawing(first, expected, native));
  if (screenshot) {
    await step('the screenshot', async () => {
      await page.evaluate(`document.getElementById('picture').decode()`);  // the picture shown
      const {data} = await page.send('Page.captureScreenshot', {format: 'png'});
      fs.writeFileSync(screenshot, Buffer.from(data, 'base64'));
    });
  }

  for (const [index, name] of kPickedFiles.entries()) {
    const file = path.join(kSourceDir, name);
    const drawing = await step(`index.html to draw picked ${name}`, async () => {
      await page.pick(file);
      return page.drawing(index + 1);
    });
    const problem = difference(drawing, nativeDrawing(demo, file, scratch));
    report(!problem, `picked ${name}: ${shown(drawing)}: ${problem || 'as native'}`);
  }
}

// Firefox, which nothing drives: it opens the pages with ?report, and they post their outcome,
// the golden workload's exit status and the default mesh's drawing.
async function checkFirefox({base, native, scratch, requests, reports}, report) {
  const profile = path.join(scratch, 'firefox');
  fs.mkdirSync(profile);
  fs.copyFileSync(path.join(__dirname, 'firefox-user.js'), path.join(profile, 'user.js'));
  const firefox = new Browser(
      'Firefox', 'firefox-esr',
      [...kFirefoxFlags, '-profile', profile, `${base}/golden.html?report`,
       `${base}/index.html?report`],
      {home: scratch, env: {MOZ_REMOTE_SETTINGS_DEVTOOLS: '1'}});
  // A page's report: its request counts from Firefox's start, the report from the request.
  const outcome = async (page) => {
    await step(`Firefox to ask for ${page}`, () => requests.wait(`/${page}`));
    return step(`${page}'s report`, () => reports.wait(`/${page}`));
  };
  try {
    const [golden, demo] = await Promise.race(
        [Promise.all([outcome('golden.html'), outcome('index.html')]), firefox.ended()]);
    for (const line of golden.output ?? []) console.log(`  Firefox page: ${line}`);
    report(golden.status === 0, `golden.html: ${golden.error ?? `exit status ${golden.status}`}`);
    if (demo.error) {
      report(false, `index.html: ${demo.error}`);
    } else {
      report(...checkDefaultDrawing(demo.drawing, demo.nativeDigest, native));
    }
  } finally {
    firefox.stop();
  }
}

const kBrowsers = {chromium: ['Chromium', checkChromium], firefox: ['Firefox', checkFirefox]};

async function main() {
  const args = process.argv.slice(2);
  const option = (name) => {
    const at = args.indexOf(name);
    return at >= 0 ? args.splice(at, 2)[1] : null;
  };
  const screenshot = option('--screenshot');
  const only = option('--browser');
  if (args.length !== 2 || (only && !kBrowsers[only]) || (screenshot && only === 'firefox')) {
    console.error('usage: node check-pages.js <web directory> <native OrvelDemo> ' +
                  '[--browser chromium|firefox] [--screenshot <png>]\n' +
                  'The screenshot is Chromium\'s.');
    return 2;
  }
  const [webDir, demo] = args.map((arg) => path.resolve(arg));

  let passed = 0;
  let failed = 0;
  const reportFor = (browser) => (success, text) => {
    if (success) {
      ++passed;
    } else {
      ++failed;
    }
    console.log(`${success ? 'ok  ' : 'FAIL'} ${browser} ${text}`);
  };
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'orvel-browser-'));
  // On any exit, after the browsers are stopped (their handler comes first): they may still be
  // writing to their profiles as they die, hence the retries.
  process.on('exit', () => fs.rmSync(scratch, {recursive: true, force: true, maxRetries: 5}));
  // Pages opened with ?report: when each is asked for, and the first outcome each posts.
  const requests = new FirstOf();
  const reports = new FirstOf();
  const server = await serve(webDir, 0, (outcome) => reports.give(outcome?.page, outcome));
  server.on('request', (request) => {
    try {
      const url = new URL(request.url, 'http://127.0.0.1');
      if (url.searchParams.has('report')) requests.give(url.pathname);
    } catch (error) {
      // not a page's address: the server answers it
    }
  });
  try {
    const context = {
      base: `http://127.0.0.1:${server.address().port}`,
      demo,
      native: nativeDrawing(demo, kDefaultMesh, scratch),
      scratch,
      screenshot: screenshot && path.resolve(screenshot),
      requests,
      reports,
    };
    for (const [name, check] of only ? [kBrowsers[only]] : Object.values(kBrowsers)) {
      const report = reportFor(name);
      await check(context, report).catch((error) => report(false, `stopped: ${error.message}`));
    }
  } finally {
    server.close();
  }
  console.log(`browser: ${passed} passed, ${failed} failed`);
  return failed ? 1 : 0;
}

main().then((status) => process.exit(status), (error) => {
  console.error(error);
  process.exit(1);
});
