CREATE TABLE A (id INTEGER PRIMARY KEY, t TEXT(100), m MEMO)
INSERT INTO A VALUES (1, 'one', 'first memo of a table that goes')
INSERT INTO A VALUES (2, 'two', NULL)
INSERT INTO A VALUES (3, 'three', 'mmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmm')
SELECT * INTO B FROM A
DROP TABLE A
CREATE TABLE A (x DOUBLE, y DATETIME)
INSERT INTO A VALUES (1.5, #2020-01-01#)
SELECT TOP 1 * FROM B
DROP TABLE B
SELECT * FROM A
