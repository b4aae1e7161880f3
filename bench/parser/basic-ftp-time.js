// Times basic-ftp's parseList on a listing file, best of several runs; prints milliseconds, entries
// and the package version.
"use strict";
const fs = require("fs");
const path = require("path");

const [modulesDir, file, runsText] = process.argv.slice(2);
if (!modulesDir || !file) {
    console.error("usage: node basic-ftp-time.js NODE_MODULES_DIR LISTING [RUNS]");
    process.exit(2);
}
const { parseList } = require(path.resolve(modulesDir, "basic-ftp"));
const { version } = require(path.resolve(modulesDir, "basic-ftp", "package.json"));
const text = fs.readFileSync(file, "latin1");
const runs = Number(runsText || 10);
let best = Infinity;
let entries = 0;
for (let run = 0; run < runs; ++run) {
    const start = process.hrtime.bigint();
    entries = parseList(text).length;
    const took = Number(process.hrtime.bigint() - start) / 1e6;
    best = Math.min(best, took);
}
console.log(`${best.toFixed(3)} ${entries} ${version}`);
