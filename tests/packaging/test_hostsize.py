#!/usr/bin/env python3
"""The shipped (i686) host, linked as the packager links it but with no
resources: it stays within its download budget, and what would silently
bring the big parts back is absent: libstdc++'s locale facets (fmt names
std::locale unless told not to) and more of libcurl than its global
initialisation."""
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))
from host_size import measure  # noqa: E402

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else "build"
BUDGET = 1500 * 1000  # bytes of the stripped host without resources
CURL_INIT = 16 * 1024  # what curl_global_init and curl_global_cleanup reach


class HostSize(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.size, _, cls.parts, cls.inputs = measure(os.path.join(BUILD, "i686"))

    def table(self):
        return "\n".join("%-46s %d" % (part, sum(sizes.values())) for part, sizes in
                         sorted(self.parts.items(), key=lambda kv: -sum(kv[1].values())))

    def test_within_budget(self):
        self.assertLessEqual(self.size, BUDGET, "stripped i686 host without resources\n" + self.table())

    def test_no_locale_facets(self):
        facets = [path for path in self.inputs
                  if re.search(r"libstdc\+\+\.a\((cxx11-)?w?locale-inst\.o\)", path)]
        self.assertEqual(facets, [], "a use of std::locale pulled in the facets")

    def test_only_curl_initialisation(self):
        curl = sum(sum(sizes.values()) for path, sizes in self.inputs.items() if "libcurl.a(" in path)
        self.assertLessEqual(curl, CURL_INIT, "bytes of libcurl linked")


if __name__ == "__main__":
    unittest.main()
