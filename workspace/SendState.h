#pragma once
// The mailing window's state: the frame, the Options dialog and the
// withdrawal page enable their commands by it.

enum TSendState : int { ssIdle = 0, ssPreparing = 1, ssSending = 2 };
