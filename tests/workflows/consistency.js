// Checks the Windows workflow against ./build.sh: every dist/ file it names is one build.sh puts there
// and, for the Windows jobs, one the step dist-check checks for; checks (run_check.ps1) come after the
// device install, which, like every step after it, runs after a failure too; every job has a time limit.
//   node consistency.js <npm-tools-dir> <workflow> <build.sh>     (any finding fails)
'use strict';
const fs = require('fs');
const path = require('path');
const [folder, workflowFile, buildScript] = process.argv.slice(2);
const { jobs } = require(path.resolve(folder, 'node_modules', 'yaml')).parse(fs.readFileSync(workflowFile, 'utf8'));
const archs = [...new Set(Object.values(jobs).flatMap((job) => job.strategy?.matrix?.include || []).map((r) => r.arch))];
// The dist/ files a text names, with ${{ matrix.arch }} as each arch.
const distFiles = (text) => new Set(archs.flatMap((arch) => (text.replace(/\$\{\{\s*matrix\.arch\s*\}\}/g, arch)
  .match(/\bdist[\\/][^\s"',;]*[^\s"',;/\\]/g) || []).map((p) => p.replace(/\\/g, '/'))));
// What build.sh puts in dist/: a command's last word, or each file copied into that folder.
const lines = fs.readFileSync(buildScript, 'utf8').replace(/\\\n/g, ' ').split('\n');
const staged = new Set(lines.flatMap((line) => {
  const words = line.trim().replace(/"/g, '').split(/\s+/), last = words.at(-1);
  const named = !last.startsWith('dist/') ? []
    : last.endsWith('/') ? words.slice(1, -1).map((word) => last + path.basename(word)) : [last];
  return archs.flatMap((arch) => named.map((file) => file.replaceAll('$arch', arch)));
}));
const checker = Object.keys(jobs).find((name) => jobs[name].steps.some((step) => step.id === 'dist-check'));
const checked = distFiles(jobs[checker]?.steps.find((step) => step.id === 'dist-check').run || '');
let findings = 0, checks = 0;
const expect = (ok, finding) => ok || console.log(`${workflowFile}: ${finding}`) || findings++;
for (const [name, job] of Object.entries(jobs)) {
  expect(job['timeout-minutes'] > 0, `job ${name} has no timeout-minutes`);
  const install = job.steps.findIndex((step) => /install_scream\.ps1/.test(step.run));
  job.steps.forEach((step, i) => {
    const label = `${name}: step ${step.name || step.uses}`;
    for (const file of distFiles([step.run, ...Object.values(step.with || {})].join(' '))) {
      expect(staged.has(file), `${label} uses ${file}, which build.sh does not stage`);
      expect(name === checker || checked.has(file), `${label} uses ${file}, which dist-check does not check`);
    }
    if (/run_check\.ps1/.test(step.run)) {
      checks += 1;
      expect(install >= 0 && i > install, `${label} runs a check before the device install`);
    }
    expect(install < 0 || i < install || /!cancelled\(\)|always\(\)/.test(step.if),
      `${label} comes after the device install without if: \${{ !cancelled() }}`);
  });
}
expect(checks > 0 && checked.size > 0, 'found no checks or no dist/ files in a dist-check step');
console.log(`workflow consistency: ${checked.size} dist/ files checked, ${checks} checks: ${findings} findings`);
process.exitCode = findings === 0 ? 0 : 1;
