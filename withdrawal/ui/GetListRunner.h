#pragma once
// Where Get List binds to the Withdrawal page. The page's "Get List" commands
// call the runner; without one they stay disabled. The runner reports back
// through TWithdrawalUi (status text, each stored message, the running state).

class IGetListRunner {
public:
  virtual ~IGetListRunner() = default;
  // SpeedItem39Click / GetMailList1Click.
  virtual void GetMailList() = 0;
};
