// Serves a directory of web pages on 127.0.0.1 alone, never to other machines.
//
//   node serve.js <directory> [port]      port 8000 by default; 0 picks a free one
//
// A .wasm file goes out as application/wasm, which browsers need to compile a module while it
// downloads, and nothing is cached, so a rebuilt page is what the next load gets.
//
// The browser leg (tests/browser/check-pages.js) serves the pages with serve() and an onReport
// function: then what pages opened with ?report post to /report (report.js) reaches it.
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');

const kTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
};
// A report holds at most a drawing of the default mesh, its picture included.
const kLargestReport = 16 * 1024 * 1024;

// Hands the JSON value that a page posted to onReport.
function receiveReport(request, response, onReport) {
  const chunks = [];
  let size = 0;
  request.on('data', (chunk) => {
    size += chunk.length;
    if (size > kLargestReport) {
      response.writeHead(413, {Connection: 'close'}).end();
      request.destroy();
      return;
    }
    chunks.push(chunk);
  });
  request.on('end', () => {
    let report;
    try {
      report = JSON.parse(Buffer.concat(chunks).toString('utf8'));
    } catch (error) {
      response.writeHead(400).end();
      return;
    }
    response.writeHead(204).end();
    onReport(report);
  });
}

// Resolves to the listening server once it accepts connections. Without onReport, a page's
// report is refused like any other POST.
function serve(directory, port, onReport = null) {
  const root = path.resolve(directory);
  const server = http.createServer((request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    } catch (error) {
      response.writeHead(400).end();  // a malformed address, such as a lone '%'
      return;
    }
    if (request.method === 'POST' && name === '/report' && onReport) {
      receiveReport(request, response, onReport);
      return;
    }
    if (name.endsWith('/')) name += 'index.html';
    const file = path.resolve(root, '.' + name);
    const type = kTypes[path.extname(file)];
    if (request.method !== 'GET' && request.method !== 'HEAD') {
      response.writeHead(405).end();
      return;
    }
    if (!file.startsWith(root + path.sep) || !type) {
      response.writeHead(404).end();
      return;
    }
    fs.readFile(file, (error, content) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {'Content-Type': type, 'Cache-Control': 'no-store'});
      response.end(request.method === 'HEAD' ? undefined : content);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

module.exports = {serve};

if (require.main === module) {
  const [directory, port = '8000'] = process.argv.slice(2);
  if (!directory) {
    console.error('usage: node serve.js <directory> [port]');
    process.exit(2);
  }
  serve(directory, Number(port)).then(
      (server) => {
        console.log(`Open http://127.0.0.1:${server.address().port}/ (Ctrl+C stops serving)`);
      },
      (error) => {
        console.error(`serve.js: ${error.message}`);
        process.exit(1);
      });
}
