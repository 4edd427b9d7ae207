#pragma once

class FigureWorkspace;
class ManualPanel;
class WindowJobHost;

// Hands a figure window's picture area to its job host: the finished-width field, the redraw
// of the layers, the tree rebuilt after a job parsed again; "..." and "Разобрать" are disabled
// while any job runs, since they replace what a job works on. The panel's status line shows
// the pixel the tool stands over.
void connectWorkspaceToJobs(FigureWorkspace& workspace, WindowJobHost& host, ManualPanel& panel);
