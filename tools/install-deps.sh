# Sourced by test.sh and run.sh: install_missing FILE... installs the Debian packages listed in
# the given deps files (one package a line, # comments) that are missing (as root; otherwise it
# names them and stops).
install_missing() {
  local wanted missing=()
  wanted=$(sed -e 's/#.*//' "$@" | xargs -n1 | sort -u)
  for p in $wanted; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "missing Debian packages (run as root to install): ${missing[*]}" >&2
      exit 1
    fi
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}
