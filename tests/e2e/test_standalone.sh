#!/usr/bin/env bash
# WSKordalin updates the content with the Kordex.inf beside the module, started through
# setuphost.exe and through the platform's rundll32.
source "$(dirname "$0")/lib.sh"

# install_beside DIR ROOT: the module, the host library and a Kordex.inf in DIR.
install_beside() {
  mkdir -p "$1"
  cp "$WSK_BIN/WSKORDALIN.DLL" "$WSK_BIN/Corvane.dll" "$1/"
  write_script "$1/Kordex.inf" "$2" "$2"
}

for starter in setuphost rundll32; do
  root="$WORK/$starter-root"; setup="$WORK/$starter-setup"; content=$(content_of "$root")
  new_root "$root"
  place_packages "$root"
  install_beside "$setup" "$root"
  if [ "$starter" = setuphost ]; then
    wine_retrying ' returned |^setuphost: ' \
      "$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$setup/WSKORDALIN.DLL")" WSKordalin ignored
    expect_status 0 "WSKordalin through setuphost"
    expect_output "WSKordalin returned 1"
    expect_output "log: $(winpath "$setup/Kordex.log")"
  else
    # rundll32 finds Corvane.dll through the working directory; it always exits 0, so the
    # outcome is read from the log.
    (cd "$setup" && "$WSK_WINE" rundll32 "$(winpath "$setup/WSKORDALIN.DLL"),WSKordalin" >/dev/null 2>&1)
  fi
  expect_log "$setup/Kordex.log" "script=$(winpath "$setup/Kordex.inf")"
  expect_log "$setup/Kordex.log" 'command="?EXIT"'
  expect_log "$setup/Kordex.log" "_ExitSkript() status 0 (success)"
  expect_content "$root"
  expect_same "$root/WsKordalin.dll" "$content/VAlmanor.dll"
  for n in 000 001 002; do expect_gone "$content/QMT_Kordalin_$n.cab"; done
done
done_ok
