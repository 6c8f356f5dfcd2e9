// The tool's answers to the engine's questions: asked on the controlling terminal when there
// is one (German button captions as the choices); without one, answered as a batch run
// expects (overwrite: No; failure: Ignore, reported on stderr; volume request: Cancel;
// password: skip).
#pragma once

// Installs the terminal implementation for the rest of the process.
void InstallTerminalQuestions();
