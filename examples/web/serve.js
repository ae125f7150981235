// Serves a directory of web pages on 127.0.0.1 alone, never to other machines.
//
//   node serve.js <directory> [port]      port 8000 by default; 0 picks a free one
//
// A .wasm file goes out as application/wasm, which browsers need to compile a module while it
// downloads, and nothing is cached, so a rebuilt page is what the next load gets.
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

// Resolves to the listening server once it accepts connections.
function serve(directory, port) {
  const root = path.resolve(directory);
  const server = http.createServer((request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    } catch (error) {
      response.writeHead(400).end();  // a malformed address, such as a lone '%'
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
