CREATE TABLE People (Last TEXT(40) NOT NULL, First TEXT(40) NOT NULL, Born DATETIME, Notes MEMO WITH COMPRESSION, CONSTRAINT pk PRIMARY KEY (Last, First))
INSERT INTO People VALUES ('Smith', 'Ann', #1970-01-01#, 'first')
INSERT INTO People VALUES ('smith', 'ann', #1970-01-02#, 'same key in another case')
INSERT INTO People VALUES ('Smith', 'Bob', NULL, NULL)
INSERT INTO People VALUES ('Ünïcode', 'Ελένη', #12/31/1899#, 'Кириллица 日本語')
INSERT INTO People (First) VALUES ('no last')
SELECT * INTO PeopleCopy FROM People
SELECT p.* INTO PeopleCopy2 FROM People AS p
SELECT * FROM PeopleCopy
DROP TABLE People
SELECT * FROM PeopleCopy2
