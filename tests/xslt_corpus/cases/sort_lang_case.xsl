<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r>
<upper><xsl:for-each select="//title"><xsl:sort select="." lang="en" case-order="upper-first"/><xsl:value-of select="."/>;</xsl:for-each></upper>
<lower><xsl:for-each select="//title"><xsl:sort select="." lang="en" case-order="lower-first"/><xsl:value-of select="."/>;</xsl:for-each></lower>
</r></xsl:template>
</xsl:stylesheet>
