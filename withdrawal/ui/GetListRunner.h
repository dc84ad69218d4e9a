#pragma once
// Where Get List binds to the Withdrawal page. The page's "Get List" commands
// call the runner; without one they stay disabled. The runner reports back
// through TWithdrawalUi (status text, each stored message, the running state).

class IGetListRunner {
public:
  virtual ~IGetListRunner() = default;
  // The tool button SpeedItem39 and the menu item GetMailList1 (SpeedItem39Click).
  virtual void GetMailList() = 0;
};
