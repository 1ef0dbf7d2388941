// Whether a debugger is attached to this process, probed once.
#ifndef ZELTO_BASE_DEBUGGER_PRESENT_H
#define ZELTO_BASE_DEBUGGER_PRESENT_H

bool HayDepurador();

// Stops in the attached debugger; the process continues when it resumes.
void IrAlDepurador();

// The TracerPid of a /proc/<pid>/status text; 0 when the line is missing.
long TracerPidDeEstado(const char* estado);

#endif
