// The xterm.js headless engine as a throughput peer for bench/PeerFeedBench.cpp. Reads commands
// on standard input, one per line, and answers each with one line:
//   load PATH  -> "ok": the payload file is read into memory (not timed)
//   feed       -> seconds: a fresh 80x24 terminal with 1000 lines of scroll-back takes the
//                 payload in 64 KiB chunks; timed until the last chunk is parsed
'use strict';
const fs = require('fs');
const readline = require('readline');
const { Terminal } = require('@xterm/headless');

const kChunkSize = 64 * 1024;
let payload = new Uint8Array(0);

function feed() {
    return new Promise((resolve) => {
        const terminal = new Terminal({ cols: 80, rows: 24, scrollback: 1000, allowProposedApi: true });
        const start = process.hrtime.bigint();
        for (let at = 0; at < payload.length; at += kChunkSize) {
            const last = at + kChunkSize >= payload.length;
            const chunk = payload.subarray(at, Math.min(at + kChunkSize, payload.length));
            terminal.write(chunk, last ? () => {
                const seconds = Number(process.hrtime.bigint() - start) / 1e9;
                terminal.dispose();
                resolve(seconds);
            } : undefined);
        }
        if (payload.length === 0) resolve(0);
    });
}

const input = readline.createInterface({ input: process.stdin });
let queue = Promise.resolve();
input.on('line', (line) => {
    queue = queue.then(async () => {
        if (line.startsWith('load ')) {
            payload = new Uint8Array(fs.readFileSync(line.slice(5)));
            process.stdout.write('ok\n');
        } else if (line === 'feed') {
            process.stdout.write(`${await feed()}\n`);
        } else {
            process.stdout.write('error: unknown command\n');
        }
    });
});
