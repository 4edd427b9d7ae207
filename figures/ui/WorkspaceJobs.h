#pragma once

class FigureWorkspace;
class WindowJobHost;

// Hands a figure window's picture area to its job host: the finished-width field, the redraw
// of the layers, the tree rebuilt after a job parsed again; "..." and "Разобрать" are disabled
// while any job runs, since they replace what a job works on.
void connectWorkspaceToJobs(FigureWorkspace& workspace, WindowJobHost& host);
