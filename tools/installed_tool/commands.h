// velmora-trailer-tool's subcommands. Each takes the arguments after its name and
// returns the process exit code: 0 done, 1 failed, 2 bad arguments.
#pragma once

int CmdFrame(int argc, char** argv);    // frame POSITION OUT.png [--time MS]
int CmdTexture(int argc, char** argv);  // texture FILE.tga OUT.png
int CmdModel(int argc, char** argv);    // model FILE
int CmdSheet(int argc, char** argv);    // sheet OUT.png
int CmdBench(int argc, char** argv);    // bench [--frames N] [--csv]
int CmdVideo(int argc, char** argv);    // video OUT.mp4 [--fps N] [--size WxH] [--from S] [--to S] [--msaa N]
int CmdSync(int argc, char** argv);     // sync [--seconds S] [--driver NAME] [--start S] ...
int CmdListen(int argc, char** argv);   // listen SECONDS MARKS
