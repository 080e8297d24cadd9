<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:variable name="v" select="'imported'"/>
<xsl:variable name="w" select="'imported-w'"/>
<xsl:key name="byYear" match="book" use="@year"/>
<xsl:decimal-format name="d" decimal-separator="," grouping-separator="."/>
<xsl:output method="xml" indent="no"/>
<xsl:template match="book"><imported><xsl:value-of select="@id"/></imported></xsl:template>
<xsl:template match="title"><imported-title/></xsl:template>
</xsl:stylesheet>
