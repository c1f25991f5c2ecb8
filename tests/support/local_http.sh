# Shell helpers for tests that need a web server on 127.0.0.1; source this file.

# A TCP port on 127.0.0.1 that nobody listens on now.
ql_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# ql_start_http DIR: python's http.server serving DIR on a free port, answering before this
# returns; sets http_port and http_pid (the caller kills http_pid when it is done).
ql_start_http() {
  http_port=$(ql_free_port)
  python3 -m http.server --bind 127.0.0.1 --directory "$1" "$http_port" >/dev/null 2>&1 &
  http_pid=$!
  for _ in $(seq 100); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $http_port), 1)" \
      2>/dev/null && return 0
    sleep 0.1
  done
  echo "the web server on 127.0.0.1:$http_port did not answer" >&2
  return 1
}
