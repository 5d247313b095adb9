Yearly report template, version 2.1
