"""A small SCPI client of vna-sim for the Python tests: starts the program on
a free loopback port (instant sweeps, no noise) and talks to it over TCP."""
import socket
import subprocess

import numpy as np


class Analyzer:
    def __init__(self, program):
        self.process = subprocess.Popen([program, "--port", "0", "--instant", "--no-noise"],
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()  # "vna-sim listening on ADDR:PORT"
        host, port = line.split()[-1].rsplit(":", 1)
        self.socket = socket.create_connection((host, int(port)), timeout=20)
        self.buffer = b""

    def write(self, message):
        self.socket.sendall(message.encode() + b"\n")

    def query(self, message):
        self.write(message)
        while b"\n" not in self.buffer:
            piece = self.socket.recv(65536)
            if not piece:
                raise RuntimeError("connection closed")
            self.buffer += piece
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode()

    def numbers(self, message):
        values = np.array([float(v) for v in self.query(message).split(",")])
        return values[0::2] + 1j * values[1::2]

    def close(self):
        self.socket.close()
        self.process.terminate()
        self.process.wait(timeout=10)
