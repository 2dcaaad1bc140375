// Checks the Windows workflow against ./build.sh and its own rules: every
// file it takes from dist/ is one that build.sh copies or writes there, and
// every one the Windows jobs take is checked for by the Debian job
// (its step dist-check); checks (run_check.ps1) come after the device
// install, which, like every step after it, runs also after a failure; every
// job has a time limit. Any finding fails.
//   node consistency.js <npm-tools-dir> <workflow> <build.sh>
'use strict';
const fs = require('fs');
const path = require('path');

const [folder, workflowFile, buildScript] = process.argv.slice(2);
const YAML = require(path.resolve(folder, 'node_modules', 'yaml'));
const workflow = YAML.parse(fs.readFileSync(workflowFile, 'utf8'));
const findings = [];
const expect = (ok, finding) => ok || findings.push(finding);

// The dist/ files a command names, with ${{ matrix.arch }} as each arch.
const distFiles = (text, archs) => [...new Set(archs.flatMap((arch) =>
  (text.replace(/\$\{\{\s*matrix\.arch\s*\}\}/g, arch).match(/\bdist[\\/][^\s"',;]*[^\s"',;/\\]/g) || [])
    .map((p) => p.replace(/\\/g, '/'))))];

// What build.sh puts in dist/: the last word of a command, or with a folder
// as the last word, each file copied there.
function staged(script, archs) {
  const files = [];
  for (const line of script.replace(/\\\n/g, ' ').split('\n')) {
    const words = line.trim().split(/\s+/).map((w) => w.replace(/"/g, ''));
    const last = words.at(-1);
    if (words.length < 2 || !last.startsWith('dist/')) continue;
    const named = last.endsWith('/') ? words.slice(1, -1).map((w) => last + path.posix.basename(w)) : [last];
    files.push(...archs.flatMap((arch) => named.map((f) => f.replaceAll('$arch', arch))));
  }
  return new Set(files);
}

const archs = [...new Set(Object.values(workflow.jobs).flatMap((job) =>
  (job.strategy?.matrix?.include || []).map((row) => row.arch)).filter(Boolean))];
const stagedFiles = staged(fs.readFileSync(buildScript, 'utf8'), archs);
const checker = Object.keys(workflow.jobs).find((name) => workflow.jobs[name].steps.some((s) => s.id === 'dist-check'));
const checked = new Set(distFiles(workflow.jobs[checker]?.steps.find((s) => s.id === 'dist-check').run || '', archs));
let taken = 0, checks = 0;
for (const [name, job] of Object.entries(workflow.jobs)) {
  expect(job['timeout-minutes'] > 0, `job ${name} has no timeout-minutes`);
  const steps = job.steps.map((step) => ({ ...step, text: [step.run, ...Object.values(step.with || {})].join('\n') }));
  const install = steps.findIndex((s) => /install_scream\.ps1/.test(s.run));
  steps.forEach((step, i) => {
    const label = `${name}: step ${step.name || step.uses}`;
    for (const file of distFiles(step.text, archs)) {
      expect(stagedFiles.has(file), `${label} uses ${file}, which build.sh does not stage`);
      expect(name === checker || checked.has(file), `${label} uses ${file}, which dist-check does not check`);
      taken += 1;
    }
    if (/run_check\.ps1/.test(step.run)) {
      expect(install >= 0 && i > install, `${label} runs a check but not after the device install`);
      checks += 1;
    }
    expect(install < 0 || i < install || /!cancelled\(\)|always\(\)/.test(step.if),
      `${label} comes after the device install without if: \${{ !cancelled() }}`);
  });
  expect(install < 0 || steps[install]['timeout-minutes'] > 0, `${name}: the device install has no timeout-minutes`);
}
expect(checks > 0 && taken > 0 && checked.size > 0, 'found no checks, no dist/ files or no dist-check step');
findings.forEach((f) => console.log(`${workflowFile}: ${f}`));
console.log(`workflow consistency: ${taken} uses of dist/ files, ${checks} checks: ${findings.length} findings`);
process.exitCode = findings.length === 0 ? 0 : 1;
