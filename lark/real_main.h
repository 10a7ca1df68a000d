#pragma once
// lark's start-up driver: RealMain runs the start-up steps in their fixed
// order and answers the process exit status.
//
// Failure convention: 0 when the start ended as it should (shutdown mode
// done, runtime already running, quit event or first application seen), -1
// (255 to the parent) when it could not. A session that cannot be opened or
// used is logged; the shutdown mode and polling that runs out of time end
// silently. Exceptions are not caught. With -crash the process dies of
// SIGSEGV.

int RealMain(int argc, char** argv);
