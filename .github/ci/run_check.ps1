# Runs one check of the Windows workflow, shows its output and keeps it,
# with its exit code, as check-<name>.txt in the workspace for the job's
# reports; exits with the check's exit code.
#   run_check.ps1 <name> <program> <argument>...
# (Arguments are taken from $args, so that options such as --json pass to
# the program as they are.)
$name, $program = $args[0], $args[1]
$arguments = @($args | Select-Object -Skip 2)
$output = Join-Path $PSScriptRoot "../../check-$name.txt"
# The lines the program writes to stderr (an exception, a failed load) too, as plain text.
& $program @arguments 2>&1 | ForEach-Object { "$_" } | Tee-Object -FilePath $output
$code = $LASTEXITCODE
"exit code $code" | Tee-Object -FilePath $output -Append
exit $code
