# Serves one folder over HTTP on 127.0.0.1 with byte ranges (RFC 7233, one
# range a request), which python's http.server does not do. Prints its port,
# then serves until killed.
import http.server, os, re, sys

class Handler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        path = self.translate_path(self.path)
        if not os.path.isfile(path):
            self.send_error(404)
            return None
        size = os.path.getsize(path)
        start, end = 0, size - 1
        match = re.fullmatch(r'bytes=(\d*)-(\d*)', self.headers.get('Range', ''))
        if match and (match[1] or match[2]):
            if match[1]:
                start = int(match[1])
                end = min(int(match[2]), size - 1) if match[2] else size - 1
            else:
                start = max(0, size - int(match[2]))
            if start >= size or start > end:
                self.send_response(416)
                self.send_header('Content-Range', 'bytes */%d' % size)
                self.end_headers()
                return None
            self.send_response(206)
            self.send_header('Content-Range', 'bytes %d-%d/%d' % (start, end, size))
        else:
            self.send_response(200)
        self.send_header('Accept-Ranges', 'bytes')
        self.send_header('Content-Type', 'application/octet-stream')
        self.send_header('Content-Length', str(end - start + 1))
        self.end_headers()
        f = open(path, 'rb')
        f.seek(start)
        self.remaining = end - start + 1
        return f

    def copyfile(self, source, destination):
        while self.remaining > 0:
            piece = source.read(min(65536, self.remaining))
            if not piece:
                break
            destination.write(piece)
            self.remaining -= len(piece)

    def log_message(self, *args):
        pass

os.chdir(sys.argv[1])
server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
